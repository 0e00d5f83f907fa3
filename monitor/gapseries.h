#pragma once

#include <cstddef>
#include <vector>

namespace laser {

// A time series for the trend: a bounded ring of (time, value) points in which
// a point may start a new segment, so that a line is never drawn across a gap.
// Times are milliseconds since the epoch and are expected to rise; a point
// earlier than the one before starts a new segment (a clock set back).
class GapSeries
{
public:
    // 24 h at 5 frames/s.
    static constexpr std::size_t kDefaultCapacity = 432000;

    explicit GapSeries(std::size_t capacity = kDefaultCapacity);

    // Adds a point; it continues the last segment unless breakLine() came
    // since the last point.
    void append(double t, double y);
    // The next point starts a new segment.
    void breakLine() { broken = true; }
    // True while the last segment still takes points.
    bool isOpen() const { return count > 0 && !broken; }

    std::size_t size() const { return count; }
    std::size_t capacity() const { return cap; }
    bool isEmpty() const { return count == 0; }
    double t(std::size_t i) const { return at(i).t; }
    double y(std::size_t i) const { return at(i).y; }
    // The oldest point kept always starts a segment.
    bool startsSegment(std::size_t i) const { return i == 0 || at(i).start; }
    // Points dropped because the ring was full.
    std::size_t dropped() const { return droppedCount; }

    // First index whose time is not before t (size() when none).
    std::size_t lowerBound(double t) const;

    // Smallest and largest value of the points with time in [t0, t1];
    // false when there are none.
    bool valueRange(double t0, double t1, double &lo, double &hi) const;

    void clear();

private:
    struct Point {
        double t;
        float y;
        bool start;
    };
    const Point &at(std::size_t i) const
    {
        // No division: this runs for every point of a day-long view at each redraw.
        const std::size_t k = head + i;
        return points[k < cap ? k : k - cap];
    }

    std::vector<Point> points;  // grows to cap, then is used as a ring
    std::size_t cap;
    std::size_t head = 0;       // index of the oldest point once full
    std::size_t count = 0;
    std::size_t droppedCount = 0;
    bool broken = true;
};

} // namespace laser
