#include "ctl.h"

#include "commandframe.h"
#include "csvrecord.h"
#include "setpoint.h"
#include "statusdecode.h"
#include "words.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QStringBuilder>

#include <cmath>

namespace ctl {

namespace {
using laser::words::twoDecimals;
using laser::words::trigger;

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
                           .arg(option.mid(2), text.trimmed(), unit, setpoint::decimalText(steps, stepsPerUnit),
                                twoDecimals(1.0 / stepsPerUnit));
    return QString();
}

QJsonValue roundedAmps(double amps)
{
    // The decoder's arithmetic leaves binary noise past the readback's resolution.
    return std::round(amps * 100.0) / 100.0;
}
} // namespace

QString exitCodeTable()
{
    return QStringLiteral(
        "  0  success (detect: a laser found; set: frame written, and confirmed with --verify)\n"
        "  1  another failure: the frame or the output file could not be written, or the\n"
        "     port did not open for a reason not listed below\n"
        "  2  bad usage: unknown option, missing or malformed value, value outside the\n"
        "     panel's range\n"
        "  3  no laser: no valid status frame in time (detect, status, set --verify)\n"
        "  4  port missing\n"
        "  5  port permission denied\n"
        "  6  port busy: another program has it open\n"
        "  7  not a serial device: a file, a directory, a console or this terminal\n"
        "  8  link lost: the port went away (monitor without --reconnect, status, set --verify)\n"
        "  9  set --verify: the laser reports another trigger mode, or a pump current\n"
        "     further from the setpoint than the tolerance\n"
        " 10  status: the laser reports a fault (pump supply, pump temperature outside\n"
        "     the calibration)\n");
}

QString buildCommand(const SetRequest &request, const Variant &variant, Command &out)
{
    Command c;
    c.freqSteps = variant.initialSteps;
    if (!request.current.isEmpty()) {
        const QString error = decimalSetpoint(QStringLiteral("--current"), request.current, QStringLiteral("A"),
                                              setpoint::kCurrentStepsPerAmp, laser::kCurrentMinSteps,
                                              laser::kCurrentMaxSteps, c.currentSteps, c.truncations);
        if (!error.isEmpty())
            return error;
    }
    if (!request.pulse.isEmpty()) {
        const QString error = decimalSetpoint(QStringLiteral("--pulse"), request.pulse, QStringLiteral("ns"),
                                              setpoint::kPulseStepsPerNs, laser::kPulseMinSteps, laser::kPulseMaxSteps,
                                              c.pulseSteps, c.truncations);
        if (!error.isEmpty())
            return error;
    }
    if (!request.freq.isEmpty()) {
        // Whole kHz, as the panel's field takes them.
        bool ok = false;
        const qlonglong kHz = request.freq.trimmed().toLongLong(&ok, 10);
        const QString range = QStringLiteral("--freq %1 kHz is outside the panel's range %2 to %3 kHz (%4)")
                                  .arg(request.freq.trimmed())
                                  .arg(variant.kHzPerStep)
                                  .arg(variant.maxSteps * variant.kHzPerStep)
                                  .arg(QString::fromLatin1(variant.name));
        if (!ok)
            return QStringLiteral("--freq: '%1' is not a whole number of kHz").arg(request.freq);
        // Past the top step is out of range too, though the panel's field
        // would truncate 1005 kHz to the last step.
        if (kHz < variant.kHzPerStep || kHz > qlonglong(variant.maxSteps) * variant.kHzPerStep)
            return range;
        const setpoint::Typed typed = setpoint::fromFrequencyText(request.freq, variant.kHzPerStep, laser::kFreqMinSteps, variant.maxSteps);
        if (typed.clamped)
            return range;
        c.freqSteps = typed.position;
        if (c.freqSteps * variant.kHzPerStep != kHz)
            c.truncations << QStringLiteral("freq %1 kHz is sent as %2 kHz (steps of %3 kHz)")
                                 .arg(kHz)
                                 .arg(c.freqSteps * variant.kHzPerStep)
                                 .arg(variant.kHzPerStep);
    }
    if (!request.trigger.isEmpty()) {
        if (request.trigger == QLatin1String("external"))
            c.externalTrigger = true;
        else if (request.trigger != QLatin1String("internal"))
            return QStringLiteral("--trigger: '%1' is neither internal nor external").arg(request.trigger);
    }
    c.effective = laser::setpointsFromSteps(c.externalTrigger, c.currentSteps, c.pulseSteps, c.freqSteps,
                                            variant.kHzPerStep, setpoint::kTemperatureByte);
    out = c;
    return QString();
}

laser::Command toCommand(const Command &c)
{
    laser::Command command;
    command.externalTrigger = c.externalTrigger;
    command.currentSteps = c.currentSteps;
    command.temperatureByte = setpoint::kTemperatureByte;
    command.pulseSteps = c.pulseSteps;
    command.freqSteps = c.freqSteps;
    return command;
}

QStringList fillFromRecord(SetRequest &r, const laser::WorkingPoint &p)
{
    QStringList kept;
    auto keep = [&kept](QString &value, const QString &remembered, const char *name) {
        if (!value.isEmpty())
            return;
        value = remembered;
        kept << QLatin1String(name);
    };
    keep(r.current, twoDecimals(p.currentA), "current");
    keep(r.pulse, twoDecimals(p.pulseNs), "pulse");
    keep(r.freq, QString::number(p.freqKHz), "frequency");
    keep(r.trigger, trigger(p.externalTrigger), "trigger");
    return kept;
}

QByteArray commandFrame(const Command &c)
{
    const laser::Command command = toCommand(c);
    return laser::encodeCommandFrame(command.externalTrigger, command.currentSteps, command.temperatureByte,
                                     command.pulseSteps, command.freqSteps);
}

Exit exitFor(const laser::OpenFailure &failure)
{
    switch (failure.kind) {
    case laser::OpenFailure::None: return Ok;
    case laser::OpenFailure::Refused: return NotSerial;
    case laser::OpenFailure::Missing: return PortMissing;
    case laser::OpenFailure::Permission: return PortPermission;
    case laser::OpenFailure::Busy: return PortBusy;
    case laser::OpenFailure::Other: return Failed;
    }
    return Failed;
}

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

QJsonObject statusJson(const QString &time, const laser::Reading &r)
{
    // The keys and words of the CSV record's columns.
    return {
        {QStringLiteral("time"), time},
        {QStringLiteral("kind"), QStringLiteral("status")},
        {QStringLiteral("current_A"), roundedAmps(r.currentA)},
        {QStringLiteral("temperature_C"),
         r.temperatureC == laser::kTemperatureOutOfRange ? QJsonValue() : QJsonValue(r.temperatureC)},
        {QStringLiteral("trigger"), trigger(r.externalTrigger)},
        {QStringLiteral("pump_supply"), laser::words::pumpSupply(r.pumpSupplyNormal)},
        {QStringLiteral("tec"), laser::words::tec(r.tecLocked)},
    };
}

QString eventText(const QString &time, laser::LinkEvent event, const QString &detail)
{
    return QStringLiteral("%1  %2: %3").arg(time, laser::csv::eventKind(event), detail);
}

QJsonObject eventJson(const QString &time, laser::LinkEvent event, const QString &detail)
{
    return {{QStringLiteral("time"), time},
            {QStringLiteral("kind"), laser::csv::eventKind(event)},
            {QStringLiteral("detail"), detail}};
}

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

double frameRate(const Tally &t)
{
    if (t.frames >= 2 && t.lastMs > t.firstMs)
        return (t.frames - 1) * 1000.0 / double(t.lastMs - t.firstMs);
    if (t.frames >= 1 && t.listenedMs > 0)
        return t.frames * 1000.0 / double(t.listenedMs);
    return 0.0;
}

bool isLaser(const Tally &t)
{
    // Noise passes for a frame only by matching 4 fixed bytes 13 apart.
    return t.frames > 0;
}

QString detectLine(const QString &port, const Tally &t)
{
    const QString seconds = QString::number(t.listenedMs / 1000.0, 'f', 1);
    const QString noise = t.skippedBytes > 0 ? QStringLiteral(", %1 bytes of noise").arg(t.skippedBytes) : QString();
    if (isLaser(t))
        return QStringLiteral("%1  laser: %2 frames/s (%3 %4 in %5 s%6)")
            .arg(port, QString::number(frameRate(t), 'f', 1))
            .arg(t.frames)
            .arg(t.frames == 1 ? QStringLiteral("frame") : QStringLiteral("frames"), seconds, noise);
    if (t.skippedBytes > 0)
        return QStringLiteral("%1  no laser: %2 bytes in %3 s, none of them a status frame")
            .arg(port)
            .arg(t.skippedBytes)
            .arg(seconds);
    return QStringLiteral("%1  no laser: silent for %2 s").arg(port, seconds);
}

Verdict judge(const laser::Setpoints &set, const laser::Reading &reading, double toleranceA)
{
    Verdict v;
    v.triggerMatches = reading.externalTrigger == set.externalTrigger;
    // The readback starts at code 20; below that current it reads 0.
    const double lowestReadable = laser::currentFromCode(20);
    v.expectedA = set.currentA < lowestReadable ? 0.0 : set.currentA;
    v.offA = std::abs(reading.currentA - v.expectedA);
    v.currentClose = v.offA <= toleranceA + 1e-9;
    return v;
}

QStringList verdictLines(const laser::Setpoints &set, const laser::Reading &reading, const Verdict &v,
                         double toleranceA)
{
    QStringList lines;
    lines << (v.triggerMatches
                  ? QStringLiteral("trigger: %1, as set").arg(trigger(reading.externalTrigger))
                  : QStringLiteral("trigger: %1 reported, but %2 was set")
                        .arg(trigger(reading.externalTrigger), trigger(set.externalTrigger)));
    QString current = QStringLiteral("pump current: %1 A reported for %2 A set, %3 A off (tolerance %4 A)")
                          .arg(twoDecimals(reading.currentA), twoDecimals(set.currentA), twoDecimals(v.offA),
                               twoDecimals(toleranceA));
    if (v.expectedA != set.currentA)
        current += QStringLiteral("; below %1 A the laser reports 0.00 A").arg(twoDecimals(laser::currentFromCode(20)));
    lines << current;
    lines << (v.triggerMatches && v.currentClose ? QStringLiteral("verified") : QStringLiteral("NOT verified"));
    return lines;
}

} // namespace ctl
