#include "stalerule.h"

#include <algorithm>

namespace laser {

void StaleRule::start(qint64 nowMs)
{
    *this = StaleRule();
    last = nowMs;
}

void StaleRule::frame(qint64 nowMs)
{
    // Frames handed over in one read share a time; such a zero says nothing
    // about how often the laser reports.
    if (framed && nowMs > last) {
        intervals[next] = nowMs - last;
        next = (next + 1) % kIntervalsKept;
        count = std::min(count + 1, kIntervalsKept);
    }
    framed = true;
    last = nowMs;
}

qint64 StaleRule::usualIntervalMs() const
{
    if (count == 0)
        return -1;
    std::array<qint64, kIntervalsKept> sorted = intervals;
    std::nth_element(sorted.begin(), sorted.begin() + count / 2, sorted.begin() + count);
    return sorted[count / 2];
}

qint64 StaleRule::limitMs() const
{
    return std::max(kMinLimitMs, kIntervalFactor * usualIntervalMs());
}

} // namespace laser
