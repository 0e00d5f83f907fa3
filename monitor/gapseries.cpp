#include "gapseries.h"

#include <algorithm>

namespace laser {

GapSeries::GapSeries(std::size_t capacity) : cap(std::max<std::size_t>(capacity, 1)) {}

void GapSeries::append(double t, double y)
{
    const bool start = broken || (count > 0 && t < at(count - 1).t);
    const Point p{t, static_cast<float>(y), start};
    broken = false;
    if (points.size() < cap) {
        points.push_back(p);
        ++count;
        return;
    }
    // Full: the new point takes the oldest one's place.
    points[head] = p;
    head = (head + 1) % cap;
    ++droppedCount;
}

std::size_t GapSeries::lowerBound(double t) const
{
    std::size_t lo = 0, hi = count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (at(mid).t < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool GapSeries::valueRange(double t0, double t1, double &lo, double &hi) const
{
    bool any = false;
    for (std::size_t i = lowerBound(t0); i < count; ++i) {
        const Point &p = at(i);
        if (p.t > t1)
            break;
        if (!any) {
            lo = hi = p.y;
            any = true;
        } else {
            lo = std::min<double>(lo, p.y);
            hi = std::max<double>(hi, p.y);
        }
    }
    return any;
}

void GapSeries::clear()
{
    points.clear();
    head = count = droppedCount = 0;
    broken = true;
}

} // namespace laser
