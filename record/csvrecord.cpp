#include "csvrecord.h"

#include "fields.h"
#include "words.h"

#include <QLatin1Char>

#include <limits>

namespace laser::csv {

namespace {
QString row(const record::Source &s)
{
    QStringList cells;
    for (const record::Field &f : record::fields()) {
        const QVariant v = f.kinds & s.kind ? f.value(s) : QVariant();
        cells << (!v.isValid()                            ? QString()
                  : f.form == record::Field::TwoDecimals ? words::twoDecimals(v.toDouble())
                  : f.form == record::Field::Whole       ? QString::number(v.toInt())
                                                          : field(v.toString()));
    }
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
    QStringList names;
    for (const record::Field &f : record::fields())
        names << QLatin1String(f.name);
    return names.join(QLatin1Char(','));
}

QString statusRow(const QDateTime &when, const Reading &r)
{
    return row({record::Status, isoTime(when), QStringLiteral("status"), r, {}, {}});
}

QString commandRow(const QDateTime &when, const WorkingPoint &p)
{
    return row({record::Command, isoTime(when), QStringLiteral("command"), {}, p, {}});
}

QString eventRow(const QDateTime &when, LinkEvent event, const QString &detail)
{
    return eventRow(when, eventKind(event), detail);
}

QString eventRow(const QDateTime &when, const QString &kind, const QString &detail)
{
    return row({record::Event, isoTime(when), kind, {}, {}, detail});
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
    case LinkEvent::OpenFailed: return QStringLiteral("open_failed");
    case LinkEvent::Waiting: return QStringLiteral("waiting");
    case LinkEvent::Reopened: return QStringLiteral("reopened");
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
