#include "ctl.h"

#include "csvrecord.h"
#include "statusdecode.h"
#include "words.h"

#include <QStringBuilder>

#include <cmath>

namespace ctl {

namespace {
using laser::words::twoDecimals;
using laser::words::trigger;

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
        "     the calibration)\n"
        " 11  set: the panel that holds the port refuses commands from scripts\n");
}

QStringList fillFromRecord(laser::SetRequest &r, const laser::WorkingPoint &p)
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

QString eventText(const QString &time, const QString &kind, const QString &detail)
{
    return QStringLiteral("%1  %2: %3").arg(time, kind, detail);
}

QString commandText(const QString &time, const laser::Setpoints &s)
{
    return QStringLiteral("%1  command: current %2 A  pulse %3 ns  frequency %4 kHz  trigger %5")
        .arg(time, twoDecimals(s.currentA), twoDecimals(s.pulseNs))
        .arg(s.freqKHz)
        .arg(trigger(s.externalTrigger));
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
