#pragma once

#include "reading.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace laser {

class PortSession;

// The faults a laser reports, judged from its status frames. The TEC lock
// counts as lost only after it was locked on this connection: before the
// first lock an unlocked TEC is warming up.
class Alarms
{
public:
    enum Condition { PumpSupply = 1, TecLock = 2, PumpTemperature = 4 };
    static constexpr Condition kAll[] = {PumpSupply, TecLock, PumpTemperature};

    // A connection starts: nothing known, nothing active.
    void reset() { *this = Alarms(); }
    // Takes a reading that came at `when`; returns the conditions that
    // changed (started or cleared).
    int update(const Reading &reading, const QDateTime &when = QDateTime());
    int active() const { return on; }
    bool isActive(Condition c) const { return on & c; }
    // When an active condition started.
    QDateTime since(Condition c) const;
    // The names in the record: pump_supply, tec_lock, pump_temperature.
    static QString name(Condition c);
    // The names of `conditions`, in the order of kAll.
    static QStringList names(int conditions);
    QStringList activeNames() const { return names(on); }

private:
    int on = 0;
    bool tecWasLocked = false;
    QDateTime started[3];
};

// The alarms a display of the session shows, and its scripts are told: the
// active ones while its data is current; stale data, or none, shows no fault
// as current.
int shownAlarms(const PortSession &session);

} // namespace laser
