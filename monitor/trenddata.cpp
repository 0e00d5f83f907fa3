#include "trenddata.h"

#include "csvrecord.h"
#include "statusdecode.h"

#include <algorithm>

namespace laser {

TrendData::TrendData(std::size_t capacity)
    : currentA(capacity), temperatureC(capacity), setpointA(capacity)
{
}

void TrendData::status(qint64 ms, const Reading &reading)
{
    if (frames.hasFrame() && ms - lastFrameMs > frames.limitMs())
        breakReadings();
    frames.frame(ms);
    lastFrameMs = ms;
    seen(double(ms));

    currentA.append(double(ms), reading.currentA);
    if (reading.temperatureC == kTemperatureOutOfRange)
        temperatureC.breakLine();
    else
        temperatureC.append(double(ms), reading.temperatureC);
}

void TrendData::command(qint64 ms, const WorkingPoint &point)
{
    const double t = double(ms);
    seen(t);
    setpointA.append(t, point.currentA());
}

void TrendData::row(const record::Source &row)
{
    LinkEvent e;
    if (row.kind == record::Status)
        status(row.ms, row.reading);
    else if (row.kind == record::Command)
        command(row.ms, row.point);
    else if (csv::eventFromKind(row.word, e))
        event(row.ms, e, row.detail);
}

void TrendData::event(qint64 ms, LinkEvent event, const QString &detail)
{
    const double t = double(ms);
    periods.event(ms, event, detail);
    switch (event) {
    case LinkEvent::Open:
    case LinkEvent::Close:
    case LinkEvent::Lost:
        // The setpoint held until the link ended; nothing is known after that.
        if (setpointA.isOpen())
            setpointA.append(t, setpointA.y(setpointA.size() - 1));
        setpointA.breakLine();
        frames = StaleRule();
        breakReadings();
        break;
    case LinkEvent::Stale:
        breakReadings();
        break;
    case LinkEvent::Recovered:
    case LinkEvent::RecordingStarted:
    case LinkEvent::RecordingStopped:
    case LinkEvent::Dropped:
    case LinkEvent::Alarm:
    case LinkEvent::AlarmCleared:
    case LinkEvent::WorkingPoint:
    case LinkEvent::OpenFailed:
    case LinkEvent::Waiting:
    case LinkEvent::Reopened:
        break;
    }
    seen(t);
}

double TrendData::firstTime() const
{
    double first = latest;
    for (const GapSeries *s : {&currentA, &temperatureC, &setpointA})
        if (!s->isEmpty())
            first = std::min(first, s->t(0));
    return first;
}

void TrendData::breakReadings()
{
    currentA.breakLine();
    temperatureC.breakLine();
}

void TrendData::seen(double t)
{
    latest = std::max(latest, t);
}

} // namespace laser
