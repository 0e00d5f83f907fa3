#include "alarms.h"

#include "portsession.h"
#include "statusdecode.h"

namespace laser {

namespace {
int indexOf(Alarms::Condition c)
{
    return c == Alarms::PumpSupply ? 0 : c == Alarms::TecLock ? 1 : 2;
}
} // namespace

int Alarms::update(const Reading &r, const QDateTime &when)
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
    for (Condition c : kAll)
        if (changed & now & c)
            started[indexOf(c)] = when;
    on = now;
    return changed;
}

QDateTime Alarms::since(Condition c) const
{
    return isActive(c) ? started[indexOf(c)] : QDateTime();
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

QStringList Alarms::names(int conditions)
{
    QStringList names;
    for (Condition c : kAll)
        if (conditions & c)
            names << name(c);
    return names;
}

int shownAlarms(const PortSession &session)
{
    const bool current = session.isOpen() && session.hasFrame() && !session.isStale();
    return current ? session.alarms().active() : 0;
}

} // namespace laser
