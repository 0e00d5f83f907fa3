#pragma once

#include <QtGlobal>

#include <array>

namespace laser {

// When status data counts as stale. The firmware's reporting rate is not
// documented, so the limit follows the laser: 5 times its usual interval
// between frames, and never under 2 s. Times are milliseconds on any
// monotonic clock.
class StaleRule
{
public:
    static constexpr qint64 kMinLimitMs = 2000;
    static constexpr int kIntervalFactor = 5;
    static constexpr int kIntervalsKept = 16;

    // A connection starts: no frame yet, the silence is counted from now.
    void start(qint64 nowMs);
    // A valid frame arrived.
    void frame(qint64 nowMs);

    bool hasFrame() const { return framed; }
    // The usual interval (median of the recent ones); -1 until two frames came.
    qint64 usualIntervalMs() const;
    qint64 limitMs() const;
    // Time since the last frame, or since start when none came.
    qint64 ageMs(qint64 nowMs) const { return nowMs - last; }
    bool isStale(qint64 nowMs) const { return ageMs(nowMs) > limitMs(); }

private:
    qint64 last = 0;
    bool framed = false;
    std::array<qint64, kIntervalsKept> intervals{};
    int count = 0;   // intervals recorded, up to kIntervalsKept
    int next = 0;    // ring position of the next interval
};

} // namespace laser
