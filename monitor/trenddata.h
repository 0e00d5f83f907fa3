#pragma once

#include "fields.h"
#include "gapseries.h"
#include "periods.h"
#include "reading.h"
#include "stalerule.h"
#include "workingpoint.h"

#include <QtGlobal>

namespace laser {

// What the trend plots, fed from the link as it happens: pump current and
// temperature per status frame, and the current setpoint of each command as a
// step line. Lines break at every silence: link opened, closed, lost or stale,
// a temperature outside the calibration, and a pause between frames longer than
// the link's stale limit (in case no stale event came). Alarms are kept as
// periods.
class TrendData
{
public:
    explicit TrendData(std::size_t capacity = GapSeries::kDefaultCapacity);

    // Times in ms since the epoch: a local QDateTime costs a time-zone lookup
    // per conversion, so the caller converts each frame's time once.
    void status(qint64 ms, const Reading &reading);
    void command(qint64 ms, const WorkingPoint &point);
    // `detail` names an alarm's condition.
    void event(qint64 ms, LinkEvent event, const QString &detail = QString());
    // A row of a recording read back.
    void row(const record::Source &row);

    const GapSeries &current() const { return currentA; }
    const GapSeries &temperature() const { return temperatureC; }
    // Each point holds until the next; while the line is open it holds up to latestTime().
    const GapSeries &setpoint() const { return setpointA; }
    // The alarms, each until cleared or the link ended; one still lasting holds up to latestTime().
    const QVector<record::Period> &alarms() const { return periods.alarms(); }

    bool isEmpty() const { return currentA.isEmpty() && temperatureC.isEmpty() && setpointA.isEmpty(); }
    // Oldest time still kept, and newest time seen, in ms since the epoch.
    double firstTime() const;
    double latestTime() const { return latest; }

private:
    void breakReadings();
    void seen(double t);

    GapSeries currentA;
    GapSeries temperatureC;
    GapSeries setpointA;
    record::Periods periods;
    StaleRule frames;
    qint64 lastFrameMs = 0;
    double latest = 0.0;
};

} // namespace laser
