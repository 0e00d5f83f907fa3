#include "ctl.h"

#include "csvrecord.h"
#include "statusdecode.h"

#include <QStringBuilder>

namespace ctl {

using laser::words::twoDecimals;
using laser::words::trigger;

QString now()
{
    return laser::csv::isoTime(QDateTime::currentDateTimeUtc());
}

QString statusText(const QString &time, const laser::Reading &r)
{
    // One line per frame at up to 886 a second: built in one allocation.
    const QString temperature = r.temperatureC == laser::kTemperatureOutOfRange
        ? QStringLiteral("out of range")
        : QString::number(r.temperatureC) + QStringLiteral(" °C");
    return time % QStringLiteral("  current ") % twoDecimals(r.currentA) % QStringLiteral(" A  temperature ")
        % temperature % QStringLiteral("  trigger ") % trigger(r.externalTrigger)
        % QStringLiteral("  pump supply ") % laser::words::pumpSupply(r.pumpSupplyNormal)
        % QStringLiteral("  TEC ") % laser::words::tec(r.tecLocked);
}

QString statusBlock(const QString &port, const QString &time, const laser::Reading &r)
{
    const QString temperature = r.temperatureC == laser::kTemperatureOutOfRange
        ? QStringLiteral("out of the calibrated range (0 to 40 °C)")
        : QStringLiteral("%1 °C").arg(r.temperatureC);
    return QStringLiteral("port              %1\n"
                          "time              %2\n"
                          "pump current      %3 A\n"
                          "pump temperature  %4\n"
                          "trigger           %5\n"
                          "pump supply       %6\n"
                          "TEC               %7")
        .arg(port, time, twoDecimals(r.currentA), temperature, trigger(r.externalTrigger),
             laser::words::pumpSupply(r.pumpSupplyNormal),
             laser::words::tec(r.tecLocked));
}

QString eventText(const QString &time, const QString &kind, const QString &detail)
{
    return QStringLiteral("%1  %2: %3").arg(time, kind, detail);
}

QString commandText(const QString &time, const laser::WorkingPoint &p)
{
    return QStringLiteral("%1  command: current %2 A  pulse %3 ns  frequency %4 kHz  trigger %5")
        .arg(time, twoDecimals(p.currentA()), twoDecimals(p.pulseNs()))
        .arg(p.freqKHz())
        .arg(trigger(p.externalTrigger));
}

} // namespace ctl
