#include "alarms.h"

#include "statusdecode.h"

namespace laser {

int Alarms::update(const Reading &r)
{
    tecWasLocked = tecWasLocked || r.tecLocked;
    int now = 0;
    if (!r.pumpSupplyNormal)
        now |= PumpSupply;
    if (tecWasLocked && !r.tecLocked)
        now |= TecLock;
    if (r.temperatureC == kTemperatureOutOfRange)
        now |= PumpTemperature;
    const int changed = now ^ on;
    on = now;
    return changed;
}

QString Alarms::name(Condition c)
{
    switch (c) {
    case PumpSupply: return QStringLiteral("pump_supply");
    case TecLock: return QStringLiteral("tec_lock");
    case PumpTemperature: return QStringLiteral("pump_temperature");
    }
    return QString();
}

QStringList Alarms::activeNames() const
{
    QStringList names;
    for (Condition c : kAll)
        if (isActive(c))
            names << name(c);
    return names;
}

} // namespace laser
