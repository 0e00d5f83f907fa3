#include "csvrecord.h"

#include "statusdecode.h"
#include "words.h"

#include <QLatin1Char>

#include <limits>

namespace laser::csv {

namespace {
constexpr int kColumns = 12;

QString row(const QDateTime &when, const QString &kind, const QStringList &values)
{
    QStringList cells{isoTime(when), kind};
    cells += values;
    while (cells.size() < kColumns)
        cells.append(QString());
    return cells.join(QLatin1Char(','));
}
} // namespace

QString isoTime(const QDateTime &when)
{
    // A recording at line rate stamps hundreds of rows a second; the local
    // date, time and offset change at most once a second (time-zone changes
    // fall on whole seconds), so only the milliseconds are new per row.
    static thread_local qint64 cachedSecond = std::numeric_limits<qint64>::min();
    static thread_local QString head, offset;
    const qint64 ms = when.toMSecsSinceEpoch();
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != cachedSecond) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(second * 1000).toLocalTime();
        const int minutes = local.offsetFromUtc() / 60;
        const int abs = minutes < 0 ? -minutes : minutes;
        head = local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss."));
        offset = (minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
            + QStringLiteral("%1:%2").arg(abs / 60, 2, 10, QLatin1Char('0')).arg(abs % 60, 2, 10, QLatin1Char('0'));
        cachedSecond = second;
    }
    return head + QStringLiteral("%1").arg(ms - second * 1000, 3, 10, QLatin1Char('0')) + offset;
}

QStringList header(const QString &program, const QString &variant, const QString &port,
                   const QDateTime &start)
{
    // A line break in a name would end the comment line early.
    auto oneLine = [](QString s) { return s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' ')); };
    return {QStringLiteral("# program: %1").arg(oneLine(program)),
            QStringLiteral("# variant: %1").arg(oneLine(variant)),
            QStringLiteral("# port: %1").arg(oneLine(port)),
            QStringLiteral("# started: %1").arg(isoTime(start)),
            columns()};
}

QString columns()
{
    return QStringLiteral("time,kind,current_A,temperature_C,trigger,pump_supply,tec,"
                          "set_current_A,set_pulse_ns,set_freq_kHz,set_trigger,detail");
}

QString statusRow(const QDateTime &when, const Reading &r)
{
    // Outside the calibration there is no temperature to record.
    const QString temperature =
        r.temperatureC == kTemperatureOutOfRange ? QString() : QString::number(r.temperatureC);
    return row(when, QStringLiteral("status"),
               {words::twoDecimals(r.currentA), temperature, words::trigger(r.externalTrigger),
                words::pumpSupply(r.pumpSupplyNormal), words::tec(r.tecLocked)});
}

QString commandRow(const QDateTime &when, const WorkingPoint &p)
{
    return row(when, QStringLiteral("command"),
               {QString(), QString(), QString(), QString(), QString(), words::twoDecimals(p.currentA()),
                words::twoDecimals(p.pulseNs()), QString::number(p.freqKHz()), words::trigger(p.externalTrigger)});
}

QString eventRow(const QDateTime &when, LinkEvent event, const QString &detail)
{
    return eventRow(when, eventKind(event), detail);
}

QString eventRow(const QDateTime &when, const QString &kind, const QString &detail)
{
    QStringList values;
    for (int i = 2; i < kColumns - 1; ++i)
        values.append(QString());
    values.append(field(detail));
    return row(when, field(kind), values);
}

QString eventKind(LinkEvent event)
{
    switch (event) {
    case LinkEvent::Open: return QStringLiteral("open");
    case LinkEvent::Close: return QStringLiteral("close");
    case LinkEvent::Lost: return QStringLiteral("lost");
    case LinkEvent::Stale: return QStringLiteral("stale");
    case LinkEvent::Recovered: return QStringLiteral("recovered");
    case LinkEvent::RecordingStarted: return QStringLiteral("recording_started");
    case LinkEvent::RecordingStopped: return QStringLiteral("recording_stopped");
    case LinkEvent::Dropped: return QStringLiteral("dropped");
    case LinkEvent::Alarm: return QStringLiteral("alarm");
    case LinkEvent::AlarmCleared: return QStringLiteral("alarm_cleared");
    case LinkEvent::WorkingPoint: return QStringLiteral("working_point");
    }
    return QString();
}

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace laser::csv
