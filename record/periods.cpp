#include "periods.h"

namespace laser::record {

namespace {
// The one that still lasts with this name, or null.
Period *lasting(QVector<Period> &periods, const QString &what)
{
    for (Period &p : periods)
        if (p.end < 0 && p.what == what)
            return &p;
    return nullptr;
}
} // namespace

void Periods::event(qint64 ms, LinkEvent event, const QString &detail)
{
    switch (event) {
    case LinkEvent::Stale:
        if (!lasting(stalePeriods, QString()))
            stalePeriods.append({ms, -1, QString()});
        break;
    case LinkEvent::Recovered:
        if (Period *p = lasting(stalePeriods, QString()))
            p->end = ms;
        break;
    case LinkEvent::Alarm:
        if (!lasting(alarmPeriods, detail))
            alarmPeriods.append({ms, -1, detail});
        break;
    case LinkEvent::AlarmCleared:
        if (Period *p = lasting(alarmPeriods, detail))
            p->end = ms;
        break;
    case LinkEvent::Open:
    case LinkEvent::Close:
    case LinkEvent::Lost:
        finish(ms);
        break;
    default:
        break;
    }
}

void Periods::finish(qint64 ms)
{
    for (QVector<Period> *periods : {&stalePeriods, &alarmPeriods})
        for (Period &p : *periods)
            if (p.end < 0)
                p.end = ms;
}

} // namespace laser::record
