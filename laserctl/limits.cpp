#include "cli.h"

#include "jsonrecord.h"
#include "lablimits.h"
#include "workingpointstore.h"

#include <QJsonObject>

namespace cli {

// The limits in force and where each came from; the port is not opened.
int limits(QCoreApplication &, const Options &o)
{
    const QString key = o.port.isEmpty() ? QString() : laser::workingPointKey(o.port);
    const laser::Limits l = laser::loadLimits(key, *o.variant);
    const double amps = 1.0 / setpoint::kCurrentStepsPerAmp, ns = 1.0 / setpoint::kPulseStepsPerNs;
    const struct {
        const char *name;
        const laser::Limit &limit;
        double unitsPerStep;
        const char *unit;
    } rows[] = {
        {"current_max", l.currentMax, amps, "A"},       {"pulse_min", l.pulseMin, ns, "ns"},
        {"pulse_max", l.pulseMax, ns, "ns"},            {"freq_min", l.freqMin, double(l.kHzPerStep), "kHz"},
        {"freq_max", l.freqMax, double(l.kHzPerStep), "kHz"}, {"current_rise_max", l.riseMax, amps, "A"},
    };
    Out out;
    out.open(QString());
    if (o.format == Format::Text)
        out.line(key.isEmpty() ? QStringLiteral("for all lasers") : QStringLiteral("for [%1]").arg(key));
    QJsonObject json{{QStringLiteral("key"), key}, {QStringLiteral("variant"), QLatin1String(o.variant->name)}};
    for (const auto &row : rows) {
        const double value = row.limit.steps * row.unitsPerStep;
        const QString from = row.limit.from.isEmpty() ? QStringLiteral("firmware") : row.limit.from;
        if (o.format == Format::Json) {
            json.insert(QLatin1String(row.name), QJsonObject{{QStringLiteral("value"), value}, {QStringLiteral("from"), from}});
            continue;
        }
        const QString text = QLatin1String(row.unit) == QLatin1String("kHz") ? QString::number(value)
                                                                              : laser::words::twoDecimals(value);
        out.line(QStringLiteral("%1 %2  %3")
                     .arg(QString::fromLatin1(row.name).leftJustified(16), (text + QLatin1Char(' ') + QLatin1String(row.unit)).leftJustified(10), from));
    }
    if (o.format == Format::Json) {
        json.insert(QStringLiteral("unreadable"), l.damaged.isEmpty() ? QJsonValue() : QJsonValue(l.damaged));
        out.line(laser::json::jsonLine(json));
    }
    if (!l.damaged.isEmpty()) {
        complain(QStringLiteral("a limits file cannot be read (%1); until it is mended the pump current may not rise")
                     .arg(l.damaged));
        return ctl::Failed;
    }
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}

} // namespace cli
