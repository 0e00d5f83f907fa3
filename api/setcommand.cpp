#include "setcommand.h"

#include "setpoint.h"
#include "words.h"

#include <cmath>

namespace laser {

namespace {
bool isNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

// A decimal setpoint through the panel's own arithmetic: refused outside the
// scroll bar's range, truncated to whole steps inside it.
QString decimalSetpoint(const QString &option, const QString &text, const QString &unit,
                        double stepsPerUnit, int min, int max, int &steps, QStringList &truncations)
{
    double value = 0;
    if (!isNumber(text, value))
        return QStringLiteral("%1: '%2' is not a number").arg(option, text);
    const setpoint::Typed typed = setpoint::fromDecimalText(text, stepsPerUnit, min, max);
    if (typed.clamped)
        return QStringLiteral("%1 %2 %3 is outside the panel's range %4 to %5 %3")
            .arg(option, text.trimmed(), unit, setpoint::decimalText(min, stepsPerUnit),
                 setpoint::decimalText(max, stepsPerUnit));
    steps = setpoint::commandSteps(typed.member);
    if (typed.member != steps)
        truncations << QStringLiteral("%1 %2 %3 is sent as %4 %3 (steps of %5 %3)")
                           .arg(option.mid(option.lastIndexOf(QLatin1Char('-')) + 1), text.trimmed(), unit,
                                setpoint::decimalText(steps, stepsPerUnit), words::twoDecimals(1.0 / stepsPerUnit));
    return QString();
}
} // namespace

SetResult applySet(const SetRequest &request, const WorkingPoint &start, const Variant &variant, const QString &prefix)
{
    SetResult r{QString(), start, QStringList()};
    WorkingPoint &p = r.point;
    p.kHzPerStep = variant.kHzPerStep;
    auto refuse = [&start](const QString &why) { return SetResult{why, start, QStringList()}; };
    if (!request.current.isEmpty()) {
        const QString error = decimalSetpoint(prefix + QStringLiteral("current"), request.current, QStringLiteral("A"),
                                              setpoint::kCurrentStepsPerAmp, kCurrentMinSteps, kCurrentMaxSteps,
                                              p.currentSteps, r.notes);
        if (!error.isEmpty())
            return refuse(error);
    }
    if (!request.pulse.isEmpty()) {
        const QString error = decimalSetpoint(prefix + QStringLiteral("pulse"), request.pulse, QStringLiteral("ns"),
                                              setpoint::kPulseStepsPerNs, kPulseMinSteps, kPulseMaxSteps,
                                              p.pulseSteps, r.notes);
        if (!error.isEmpty())
            return refuse(error);
    }
    if (!request.freq.isEmpty()) {
        // Whole kHz, as the panel's field takes them.
        bool ok = false;
        const qlonglong kHz = request.freq.trimmed().toLongLong(&ok, 10);
        const QString range = QStringLiteral("%1freq %2 kHz is outside the panel's range %3 to %4 kHz (%5)")
                                  .arg(prefix, request.freq.trimmed())
                                  .arg(variant.kHzPerStep)
                                  .arg(variant.maxSteps * variant.kHzPerStep)
                                  .arg(QString::fromLatin1(variant.name));
        if (!ok)
            return refuse(QStringLiteral("%1freq: '%2' is not a whole number of kHz").arg(prefix, request.freq));
        // Past the top step is out of range too, though the panel's field
        // would truncate 1005 kHz to the last step.
        if (kHz < variant.kHzPerStep || kHz > qlonglong(variant.maxSteps) * variant.kHzPerStep)
            return refuse(range);
        const setpoint::Typed typed =
            setpoint::fromFrequencyText(request.freq, variant.kHzPerStep, kFreqMinSteps, variant.maxSteps);
        if (typed.clamped)
            return refuse(range);
        p.freqSteps = typed.position;
        if (p.freqKHz() != kHz)
            r.notes << QStringLiteral("freq %1 kHz is sent as %2 kHz (steps of %3 kHz)")
                           .arg(kHz)
                           .arg(p.freqKHz())
                           .arg(variant.kHzPerStep);
    }
    if (!request.trigger.isEmpty()) {
        if (request.trigger == QLatin1String("external") || request.trigger == QLatin1String("internal"))
            p.externalTrigger = request.trigger == QLatin1String("external");
        else
            return refuse(QStringLiteral("%1trigger: '%2' is neither internal nor external").arg(prefix, request.trigger));
    }
    return r;
}

} // namespace laser
