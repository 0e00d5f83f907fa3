#include "jsonrecord.h"

#include "csvrecord.h"
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

bool word(const QJsonObject &o, const QString &key, const QString &yes, const QString &no, bool &out)
{
    const QString text = o.value(key).toString();
    out = text == yes;
    return out || text == no;
}
} // namespace

QJsonObject statusJson(const QString &time, const Reading &r)
{
    return {
        {QStringLiteral("time"), time},
        {QStringLiteral("kind"), QStringLiteral("status")},
        {QStringLiteral("current_A"), rounded(r.currentA)},
        {QStringLiteral("temperature_C"),
         r.temperatureC == kTemperatureOutOfRange ? QJsonValue() : QJsonValue(r.temperatureC)},
        {QStringLiteral("trigger"), words::trigger(r.externalTrigger)},
        {QStringLiteral("pump_supply"), words::pumpSupply(r.pumpSupplyNormal)},
        {QStringLiteral("tec"), words::tec(r.tecLocked)},
    };
}

QJsonObject eventJson(const QString &time, const QString &kind, const QString &detail)
{
    return {{QStringLiteral("time"), time}, {QStringLiteral("kind"), kind}, {QStringLiteral("detail"), detail}};
}

QJsonObject eventJson(const QString &time, LinkEvent event, const QString &detail)
{
    return eventJson(time, csv::eventKind(event), detail);
}

QJsonObject commandJson(const QString &time, const WorkingPoint &p)
{
    return {
        {QStringLiteral("time"), time},
        {QStringLiteral("kind"), QStringLiteral("command")},
        {QStringLiteral("set_current_A"), rounded(p.currentA())},
        {QStringLiteral("set_pulse_ns"), rounded(p.pulseNs())},
        {QStringLiteral("set_freq_kHz"), p.freqKHz()},
        {QStringLiteral("set_trigger"), words::trigger(p.externalTrigger)},
    };
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
