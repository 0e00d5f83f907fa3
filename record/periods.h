#pragma once

#include "reading.h"

#include <QString>
#include <QVector>

namespace laser::record {

// A stretch of a session: from its start event to the one that ends it.
struct Period {
    qint64 start = 0;
    qint64 end = -1;   // -1 while it lasts
    QString what;      // an alarm's condition; empty for a stale period
};

// The stale periods and the alarms of a session, from its link events. The
// link ending (open, close, lost) ends all of them: nothing is known after.
class Periods
{
public:
    void event(qint64 ms, LinkEvent event, const QString &detail);
    // Ends what still lasts, at the recording's last time.
    void finish(qint64 ms);

    const QVector<Period> &stale() const { return stalePeriods; }
    const QVector<Period> &alarms() const { return alarmPeriods; }

private:
    QVector<Period> stalePeriods;
    QVector<Period> alarmPeriods;
};

} // namespace laser::record
