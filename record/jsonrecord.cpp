#include "jsonrecord.h"

#include "csvrecord.h"
#include "fields.h"
#include "statusdecode.h"
#include "words.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>

namespace laser::json {

namespace {
QJsonValue rounded(double value)
{
    // The decoder's arithmetic leaves binary noise past the readback's resolution.
    return std::round(value * 100.0) / 100.0;
}

QJsonObject object(const record::Source &s)
{
    QJsonObject o;
    for (const record::Field &f : record::fields()) {
        if (!(f.kinds & s.kind))
            continue;
        const QVariant v = f.value(s);
        o.insert(QLatin1String(f.name), !v.isValid()                            ? QJsonValue()
                                        : f.form == record::Field::TwoDecimals ? rounded(v.toDouble())
                                        : f.form == record::Field::Whole       ? QJsonValue(v.toInt())
                                                                                : QJsonValue(v.toString()));
    }
    return o;
}

bool word(const QJsonObject &o, const QString &key, const QString &yes, const QString &no, bool &out)
{
    const QString text = o.value(key).toString();
    out = text == yes;
    return out || text == no;
}
} // namespace

QJsonObject statusJson(const QString &time, const Reading &r)
{
    return object({record::Status, time, QStringLiteral("status"), r, {}, {}});
}

QJsonObject eventJson(const QString &time, const QString &kind, const QString &detail)
{
    return object({record::Event, time, kind, {}, {}, detail});
}

QJsonObject eventJson(const QString &time, LinkEvent event, const QString &detail)
{
    return eventJson(time, csv::eventKind(event), detail);
}

QJsonObject commandJson(const QString &time, const WorkingPoint &p)
{
    return object({record::Command, time, QStringLiteral("command"), {}, p, {}});
}

bool readingFrom(const QJsonObject &o, Reading &out)
{
    Reading r;
    const QJsonValue temperature = o.value(QStringLiteral("temperature_C"));
    if (o.value(QStringLiteral("kind")).toString() != QLatin1String("status")
        || !o.value(QStringLiteral("current_A")).isDouble() || !(temperature.isDouble() || temperature.isNull()))
        return false;
    r.currentA = o.value(QStringLiteral("current_A")).toDouble();
    r.temperatureC = temperature.isNull() ? kTemperatureOutOfRange : temperature.toInt();
    if (!word(o, QStringLiteral("trigger"), words::trigger(true), words::trigger(false), r.externalTrigger)
        || !word(o, QStringLiteral("pump_supply"), words::pumpSupply(true), words::pumpSupply(false), r.pumpSupplyNormal)
        || !word(o, QStringLiteral("tec"), words::tec(true), words::tec(false), r.tecLocked))
        return false;
    out = r;
    return true;
}

bool pointFrom(const QJsonObject &o, int kHzPerStep, WorkingPoint &out)
{
    bool external = false;
    if (o.value(QStringLiteral("kind")).toString() != QLatin1String("command")
        || !o.value(QStringLiteral("set_current_A")).isDouble() || !o.value(QStringLiteral("set_pulse_ns")).isDouble()
        || !o.value(QStringLiteral("set_freq_kHz")).isDouble()
        || !word(o, QStringLiteral("set_trigger"), words::trigger(true), words::trigger(false), external))
        return false;
    out = pointFromUnits(external, o.value(QStringLiteral("set_current_A")).toDouble(),
                         o.value(QStringLiteral("set_pulse_ns")).toDouble(), o.value(QStringLiteral("set_freq_kHz")).toDouble(),
                         kHzPerStep);
    return true;
}

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace laser::json
