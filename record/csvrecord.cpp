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

bool msFromIsoTime(std::string_view t, qint64 &ms)
{
    // By hand: QDateTime's parser costs microseconds a row, and a day's
    // recording has hundreds of thousands.
    auto digits = [&t](std::size_t at, int n, int &out) {
        out = 0;
        for (std::size_t i = at; i < at + std::size_t(n); ++i) {
            if (i >= t.size() || t[i] < '0' || t[i] > '9')
                return false;
            out = out * 10 + (t[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, s, milli, oh = 0, om = 0;
    const bool zulu = t.size() == 24 && t[23] == 'Z';
    if ((t.size() != 29 && !zulu) || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':'
        || t[19] != '.' || !digits(0, 4, y) || !digits(5, 2, mo) || !digits(8, 2, d) || !digits(11, 2, h)
        || !digits(14, 2, mi) || !digits(17, 2, s) || !digits(20, 3, milli))
        return false;
    if (!zulu && ((t[23] != '+' && t[23] != '-') || t[26] != ':' || !digits(24, 2, oh) || !digits(27, 2, om)))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || oh > 23 || om > 59)
        return false;
    // Days from the civil date (Howard Hinnant's algorithm).
    const int yy = y - (mo <= 2);
    const int era = yy / 400;
    const int yoe = yy - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 days = qint64(era) * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    const int offset = (t[23] == '-' ? -1 : 1) * (oh * 60 + om);
    ms = ((days * 24 + h) * 60 + mi - offset) * 60000 + s * 1000 + milli;
    return true;
}

QStringList header(const QString &program, const QString &variant, const QString &port,
                   const QDateTime &start)
{
    // A line break in a name would end the comment line early.
    auto oneLine = [](QString s) { return s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' ')); };
    return {QStringLiteral("# program: %1").arg(oneLine(program)),
            QStringLiteral("# %1: %2").arg(QLatin1String(kHeaderVariant), oneLine(variant)),
            QStringLiteral("# %1: %2").arg(QLatin1String(kHeaderPort), oneLine(port)),
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

bool eventFromKind(const QString &kind, LinkEvent &event)
{
    for (int e = int(LinkEvent::Open); e <= int(LinkEvent::Reopened); ++e) {
        if (eventKind(LinkEvent(e)) == kind) {
            event = LinkEvent(e);
            return true;
        }
    }
    return false;
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
