#include "cli.h"

#include "csvrecord.h"
#include "jsonrecord.h"
#include "periods.h"
#include "recordingreader.h"
#include "statusdecode.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <limits>

namespace cli {

namespace {

// Smallest, mean and largest of a column.
struct Range {
    double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest(), sum = 0;
    qint64 n = 0;
    void add(double v) { lo = std::min(lo, v), hi = std::max(hi, v), sum += v, ++n; }
    QString text(int decimals) const
    {
        return n == 0 ? QStringLiteral("none")
                      : QStringLiteral("min %1, mean %2, max %3")
                            .arg(QString::number(lo, 'f', decimals), QString::number(sum / double(n), 'f', 2),
                                 QString::number(hi, 'f', decimals));
    }
    QJsonValue json() const
    {
        if (n == 0)
            return QJsonValue();
        return QJsonObject{{"min", lo}, {"mean", std::round(sum / double(n) * 100.0) / 100.0}, {"max", hi}};
    }
};

struct Tally {
    qint64 first = -1, last = -1;
    qint64 statusRows = 0;
    Range currentA, temperatureC;
    laser::record::Periods periods;
    QVector<std::pair<qint64, laser::WorkingPoint>> commands;

    void row(const laser::record::Source &s)
    {
        first = first < 0 ? s.ms : std::min(first, s.ms);
        last = std::max(last, s.ms);
        laser::LinkEvent event;
        if (s.kind == laser::record::Status) {
            ++statusRows;
            currentA.add(s.reading.currentA);
            if (s.reading.temperatureC != laser::kTemperatureOutOfRange)
                temperatureC.add(s.reading.temperatureC);
        } else if (s.kind == laser::record::Command) {
            commands.append({s.ms, s.point});
        } else if (laser::csv::eventFromKind(s.word, event)) {
            periods.event(s.ms, event, s.detail);
        }
    }
};

QString time(qint64 ms)
{
    return laser::csv::isoTime(QDateTime::fromMSecsSinceEpoch(ms));
}

double secondsOf(qint64 ms)
{
    return std::round(double(ms) / 100.0) / 10.0;
}

qint64 total(const QVector<laser::record::Period> &periods)
{
    qint64 sum = 0;
    for (const auto &p : periods)
        sum += p.end - p.start;
    return sum;
}

QJsonArray periodsJson(const QVector<laser::record::Period> &periods, bool named)
{
    QJsonArray list;
    for (const auto &p : periods) {
        QJsonObject o{{"start", time(p.start)}, {"end", time(p.end)}, {"duration_s", secondsOf(p.end - p.start)}};
        if (named)
            o.insert(QStringLiteral("condition"), p.what);
        list.append(o);
    }
    return list;
}

QStringList textLines(const QString &file, const laser::record::ReadResult &read, const Tally &t)
{
    const auto &stale = t.periods.stale();
    const auto &alarms = t.periods.alarms();
    QStringList lines{QStringLiteral("file: %1").arg(printableName(file))};
    if (!read.port.isEmpty())
        lines << QStringLiteral("port: %1").arg(printableName(read.port));
    lines << QStringLiteral("span: %1 to %2 (%3 s)").arg(time(t.first), time(t.last), seconds(t.last - t.first))
          << QStringLiteral("status rows: %1").arg(t.statusRows)
          << QStringLiteral("current_A: %1").arg(t.currentA.text(2))
          << QStringLiteral("temperature_C: %1").arg(t.temperatureC.text(0))
          << QStringLiteral("stale: %1 periods, %2 s in all").arg(stale.size()).arg(seconds(total(stale)));
    for (const auto &p : stale)
        lines << QStringLiteral("  %1  %2 s").arg(time(p.start), seconds(p.end - p.start));
    lines << QStringLiteral("alarms: %1").arg(alarms.size());
    for (const auto &p : alarms)
        lines << QStringLiteral("  %1  %2  %3 s").arg(time(p.start), printableName(p.what), seconds(p.end - p.start));
    lines << QStringLiteral("commands: %1").arg(t.commands.size());
    for (const auto &[ms, point] : t.commands)
        lines << QStringLiteral("  ") + ctl::commandText(time(ms), point);
    if (read.skipped > 0)
        lines << read.skippedText();
    return lines;
}

QString jsonText(const QString &file, const laser::record::ReadResult &read, const Tally &t)
{
    QJsonArray commands, skipped;
    for (const auto &[ms, point] : t.commands)
        commands.append(laser::json::commandJson(time(ms), point));
    for (int line : read.skippedLines)
        skipped.append(line);
    const auto &stale = t.periods.stale();
    const QJsonObject o{{"file", file},
                        {"port", read.port.isEmpty() ? QJsonValue() : QJsonValue(read.port)},
                        {"start", time(t.first)},
                        {"end", time(t.last)},
                        {"span_s", secondsOf(t.last - t.first)},
                        {"status_rows", t.statusRows},
                        {"current_A", t.currentA.json()},
                        {"temperature_C", t.temperatureC.json()},
                        {"stale", QJsonObject{{"periods", periodsJson(stale, false)}, {"total_s", secondsOf(total(stale))}}},
                        {"alarms", periodsJson(t.periods.alarms(), true)},
                        {"commands", commands},
                        {"skipped_rows", read.skipped},
                        {"skipped_lines", skipped}};
    return laser::json::jsonLine(o);
}

} // namespace

// What a recording holds, read from the file alone.
int summary(QCoreApplication &, const Options &o)
{
    Tally t;
    const laser::record::ReadResult read =
        laser::record::readRecording(o.file, [&t](const laser::record::Source &s) { t.row(s); });
    if (read.outcome != laser::record::ReadResult::Read) {
        complain(QStringLiteral("%1: %2").arg(printableName(o.file),
                                              read.outcome == laser::record::ReadResult::NotARecording
                                                  ? QStringLiteral("not a recording: ") + read.why
                                                  : read.why));
        return ctl::Failed;
    }
    // What lasts at the end lasted at least until then.
    t.periods.finish(t.last);
    Out out;
    out.open(QString());
    if (o.format == Format::Json)
        out.line(jsonText(o.file, read, t));
    else
        for (const QString &line : textLines(o.file, read, t))
            out.line(line);
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}

} // namespace cli
