// laserpanel-recording-load --generate FILE [--hours H]: a recording of
// H hours (24: 432 000 status rows) at 5 frames/s with a command every 10 min, a 60 s pump_supply alarm every 2 h
// and a 5 s stale spell every 3 h; JSON lines when FILE ends in .jsonl.
// laserpanel-recording-load FILE: opens it as the trend's menu does (progress
// dialog and window, offscreen) and prints the time, the rows and the peak
// memory against the file's size; exit 1 beyond 3 s or 2 × the file.
#include "csvrecord.h"
#include "jsonrecord.h"
#include "trenddata.h"
#include "trendwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {
// VmHWM or VmRSS from /proc/self/status, in KiB.
long memoryKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key)) + 1).trimmed().split(' ').first().toLong();
    return -1;
}

int generate(const char *path, double hours)
{
    using namespace laser;
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return std::fprintf(stderr, "%s: %s\n", path, qPrintable(file.errorString())), 1;
    const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-07T08:00:00"), Qt::ISODate);
    const bool json = file.fileName().endsWith(QLatin1String(".jsonl"));
    auto put = [&file](const QString &line) { file.write(line.toUtf8() + '\n'); };
    auto status = [json](const QDateTime &when, const Reading &r) {
        return json ? json::jsonLine(json::statusJson(csv::isoTime(when), r)) : csv::statusRow(when, r);
    };
    auto command = [json](const QDateTime &when, const WorkingPoint &p) {
        return json ? json::jsonLine(json::commandJson(csv::isoTime(when), p)) : csv::commandRow(when, p);
    };
    auto event = [json](const QDateTime &when, LinkEvent e, const QString &detail) {
        return json ? json::jsonLine(json::eventJson(csv::isoTime(when), e, detail)) : csv::eventRow(when, e, detail);
    };
    if (!json)
        for (const QString &line : csv::header(QStringLiteral("laserpanel 1.3"), QStringLiteral("v1.3"),
                                               QStringLiteral("/dev/ttyUSB0"), start))
            put(line);
    const qint64 frames = qint64(hours * 3600 * 5);
    WorkingPoint point = initialPoint(kVariants[0]);
    for (qint64 i = 0, written = 0; written < frames; ++i) {
        const QDateTime when = start.addMSecs(i * 200);
        const qint64 s = i / 5;
        if (i % 5 == 0 && s % 600 == 0) {
            point.currentSteps = int((s / 600) % 8) * 5;
            put(command(when, point));
        }
        if (i % 5 == 0 && s % 7200 == 3600)
            put(event(when, LinkEvent::Alarm, QStringLiteral("pump_supply")));
        if (i % 5 == 0 && s % 7200 == 3660)
            put(event(when, LinkEvent::AlarmCleared, QStringLiteral("pump_supply")));
        if (s % 10800 >= 5400 && s % 10800 < 5405) {
            if (s % 10800 == 5400 && i % 5 == 0)
                put(event(when, LinkEvent::Stale, QStringLiteral("no status for 2.0 s")));
            continue;
        }
        if (i % 5 == 0 && s % 10800 == 5405)
            put(event(when, LinkEvent::Recovered, QStringLiteral("status again after 5.0 s")));
        Reading r;
        r.currentA = point.currentA() * (1.0 + 0.01 * double(i % 7) / 7.0);
        r.temperatureC = 25 + int(i / 1500 % 3);
        r.pumpSupplyNormal = !(s % 7200 >= 3600 && s % 7200 < 3660);
        r.tecLocked = true;
        put(status(when, r));
        ++written;
    }
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0)
        return generate(argv[2], argc >= 5 && std::strcmp(argv[3], "--hours") == 0 ? std::atof(argv[4]) : 24.0);
    if (argc != 2)
        return std::fprintf(stderr, "usage: %s --generate FILE [--hours H] | FILE\n", argv[0]), 2;
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const long before = memoryKiB("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    QString error;
    laser::TrendWindow *window = laser::TrendWindow::openRecording(path, nullptr, &error);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!window)
        return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;
    window->show();
    window->refresh();
    const double drawn = double(clock.nsecsElapsed()) / 1e9;
    const long peak = memoryKiB("VmHWM:");
    const double fileKiB = double(QFileInfo(path).size()) / 1024.0;
    std::printf("file %.1f MiB, %zu status rows; read in %.2f s (shown %.2f s); RSS %.1f MiB before, peak %.1f MiB: "
                "%.2f x the file (growth %.2f x)\n",
                fileKiB / 1024, window->trendData().current().size(), seconds, drawn, before / 1024.0,
                peak / 1024.0, peak / fileKiB, (peak - before) / fileKiB);
    delete window;
    return seconds <= 3.0 && peak <= 2 * fileKiB ? 0 : 1;
}
