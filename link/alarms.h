#pragma once

#include "reading.h"

#include <QString>
#include <QStringList>

namespace laser {

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
    // Takes a reading; returns the conditions that changed (started or cleared).
    int update(const Reading &reading);
    int active() const { return on; }
    bool isActive(Condition c) const { return on & c; }
    // The names in the record: pump_supply, tec_lock, pump_temperature.
    static QString name(Condition c);
    QStringList activeNames() const;

private:
    int on = 0;
    bool tecWasLocked = false;
};

} // namespace laser
