#include "ctl.h"

#include "statusdecode.h"

#include <cmath>

namespace ctl {

using laser::words::twoDecimals;
using laser::words::trigger;

Verdict judge(const laser::WorkingPoint &set, const laser::Reading &reading, double toleranceA)
{
    Verdict v;
    v.triggerMatches = reading.externalTrigger == set.externalTrigger;
    // The readback starts at code 20; below that current it reads 0.
    const double lowestReadable = laser::currentFromCode(20);
    v.expectedA = set.currentA() < lowestReadable ? 0.0 : set.currentA();
    v.offA = std::abs(reading.currentA - v.expectedA);
    v.currentClose = v.offA <= toleranceA + 1e-9;
    return v;
}

QStringList verdictLines(const laser::WorkingPoint &set, const laser::Reading &reading, const Verdict &v,
                         double toleranceA)
{
    QStringList lines;
    lines << (v.triggerMatches
                  ? QStringLiteral("trigger: %1, as set").arg(trigger(reading.externalTrigger))
                  : QStringLiteral("trigger: %1 reported, but %2 was set")
                        .arg(trigger(reading.externalTrigger), trigger(set.externalTrigger)));
    QString current = QStringLiteral("pump current: %1 A reported for %2 A set, %3 A off (tolerance %4 A)")
                          .arg(twoDecimals(reading.currentA), twoDecimals(set.currentA()), twoDecimals(v.offA),
                               twoDecimals(toleranceA));
    if (v.expectedA != set.currentA())
        current += QStringLiteral("; below %1 A the laser reports 0.00 A").arg(twoDecimals(laser::currentFromCode(20)));
    lines << current;
    lines << (v.triggerMatches && v.currentClose ? QStringLiteral("verified") : QStringLiteral("NOT verified"));
    return lines;
}

} // namespace ctl
