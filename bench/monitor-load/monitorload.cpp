// laserpanel-monitor-load: the monitor at line rate, in-process.
// Drives Monitor's slots as the window would at 886 frames/s, with the trend
// (and optionally the link log) shown and a CSV recording running; measures
// CPU with getrusage and input latency as the delay between posting a key
// press and its delivery. --snapshot draws a scripted session to a PNG instead.
#include "commandframe.h"
#include "linklogwindow.h"
#include "monitor.h"
#include "statusframe.h"
#include "trendwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void out(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Times each key press from posting to delivery.
class Probe : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;
    QElapsedTimer clock;
    qint64 postedNs = -1;
    std::vector<double> latenciesMs;

    void post()
    {
        postedNs = clock.nsecsElapsed();
        QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier));
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (postedNs >= 0)
            latenciesMs.push_back(double(clock.nsecsElapsed() - postedNs) / 1e6);
        postedNs = -1;
        QLineEdit::keyPressEvent(event);
    }
};

laser::Reading reading(double currentA, int temperatureC)
{
    laser::Reading r;
    r.currentA = currentA;
    r.temperatureC = temperatureC;
    r.pumpSupplyNormal = true;
    r.tecLocked = temperatureC == 25;
    return r;
}

QByteArray payloadOf(double currentA, int temperatureC)
{
    QByteArray p(laser::kStatusPayloadSize, '\0');
    const int current = int(currentA * 20);
    const int temp = 808 + temperatureC * 16;
    p[0] = char(current >> 8), p[1] = char(current & 0xFF);
    p[4] = char(temp >> 8), p[5] = char(temp & 0xFF);
    p[8] = 3;
    return p;
}

laser::WorkingPoint pointAt(double currentA)
{
    return laser::WorkingPoint{false, int(currentA * 5), 34, 20, 30, 10};
}

// A 40-minute session ending now: warm-up, a stale minute, a reconnect, a setpoint change.
void scriptSession(Monitor &m)
{
    const QDateTime end = QDateTime::currentDateTimeUtc();
    const QDateTime begin = end.addSecs(-40 * 60);
    auto at = [&](double s) { return begin.addMSecs(qint64(s * 1000)); };
    double current = 0.0, temp = 18.0, target = 0.0;
    m.onLinkEvent(at(0), laser::LinkEvent::Open, QStringLiteral("/dev/ttyUSB0"));
    auto run = [&](double from, double to) {
        for (double s = from; s < to; s += 0.2) {
            current += (target - current) * 0.02;
            temp += (25.0 - temp) * 0.01;
            const double noise = 0.02 * std::sin(s * 7.0);
            m.onStatusDecoded(at(s), reading(current + noise, int(std::lround(temp))));
        }
    };
    auto send = [&](double s, double a) {
        target = a;
        m.onCommandSent(at(s), laser::encodeCommandFrame(pointAt(a)), pointAt(a));
    };
    send(5, 2.4);
    run(0.2, 600);
    m.onLinkEvent(at(600), laser::LinkEvent::Stale, QStringLiteral("2.0 s"));
    m.onLinkEvent(at(660), laser::LinkEvent::Recovered, QString());
    run(660, 1200);
    m.onLinkEvent(at(1200), laser::LinkEvent::Lost, QString());
    m.onLinkEvent(at(1320), laser::LinkEvent::Open, QStringLiteral("/dev/ttyUSB0"));
    send(1330, 4.0);
    run(1320.2, 1800);
    send(1800, 3.0);
    run(1800.2, 2400);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("The monitor at line rate, in-process"));
    args.addHelpOption();
    const auto text = [](const char *latin1) { return QString::fromLatin1(latin1); };
    args.addOption({text("seconds"), text("Run length (default 30)."), text("s"), text("30")});
    args.addOption({text("rate"), text("Frames per second (default 886)."), text("hz"), text("886")});
    args.addOption({text("span"), text("Trend span: 1, 5, 30 or all (default 5)."), text("span"), text("5")});
    args.addOption({text("link-log"), text("Show the link log as well.")});
    args.addOption({text("snapshot"), text("Draw a scripted session's trend to this PNG (and its link log beside it) and exit."),
                    text("png")});
    args.process(app);

    QWidget window;
    auto *group = new QGroupBox(QStringLiteral("Status Detection"), &window);
    auto *probe = new Probe(group);
    (new QVBoxLayout(group))->addWidget(probe);
    (new QVBoxLayout(&window))->addWidget(group);
    window.show();
    Monitor monitor(&window, group, QStringLiteral("v1.3"));

    const QString span = args.value(QStringLiteral("span"));
    const laser::TrendWindow::Span spanIs = span == QLatin1String("1") ? laser::TrendWindow::OneMinute
        : span == QLatin1String("30") ? laser::TrendWindow::ThirtyMinutes
        : span == QLatin1String("all") ? laser::TrendWindow::WholeSession : laser::TrendWindow::FiveMinutes;

    if (args.isSet(QStringLiteral("snapshot"))) {
        scriptSession(monitor);
        monitor.showTrend();
        monitor.trendWindow()->setSpan(laser::TrendWindow::WholeSession);
        monitor.trendWindow()->refresh();
        const QString png = args.value(QStringLiteral("snapshot"));
        if (!monitor.trendWindow()->grab().save(png, "PNG")) {
            out(QStringLiteral("could not write %1").arg(png));
            return 2;
        }
        out(QStringLiteral("trend drawn to %1").arg(png));
        monitor.onBytesSkipped(QDateTime::currentDateTimeUtc(), QByteArray("\x00\xA5\x13", 3));
        monitor.onFrameReceived(QDateTime::currentDateTimeUtc(), payloadOf(3.0, 25));
        monitor.onStatusDecoded(QDateTime::currentDateTimeUtc(), reading(3.0, 25));
        monitor.showLinkLog();
        monitor.linkLogWindow()->flush();
        QString logPng = png;
        logPng.insert(logPng.endsWith(QLatin1String(".png")) ? logPng.size() - 4 : logPng.size(), QStringLiteral("-log"));
        if (!monitor.linkLogWindow()->grab().save(logPng, "PNG"))
            return 2;
        out(QStringLiteral("link log drawn to %1").arg(logPng));
        return 0;
    }

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("load.csv"));
    if (!dir.isValid() || !monitor.startRecording(csv)) {
        out(QStringLiteral("could not record to %1").arg(csv));
        return 2;
    }
    monitor.showTrend();
    monitor.trendWindow()->setSpan(spanIs);
    if (args.isSet(QStringLiteral("link-log")))
        monitor.showLinkLog();

    const double rate = args.value(QStringLiteral("rate")).toDouble();
    const double seconds = args.value(QStringLiteral("seconds")).toDouble();
    monitor.onLinkEvent(QDateTime::currentDateTimeUtc(), laser::LinkEvent::Open, QStringLiteral("/dev/synthetic"));

    QElapsedTimer wall;
    wall.start();
    probe->clock.start();
    long frames = 0, commands = 0;
    const double cpu0 = cpuSeconds();
    // Frames come in batches, as the serial driver hands them over.
    QTimer feed;
    feed.setTimerType(Qt::PreciseTimer);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        const long due = long(double(wall.elapsed()) * rate / 1000.0);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (; frames < due; ++frames) {
            const double a = 2.0 + 0.5 * std::sin(double(frames) / 500.0);
            monitor.onFrameReceived(now, payloadOf(a, 25));
            monitor.onStatusDecoded(now, reading(a, 25));
        }
        if (wall.elapsed() / 1000 >= commands) {
            ++commands;
            monitor.onCommandSent(now, laser::encodeCommandFrame(pointAt(2.4)), pointAt(2.4));
            monitor.onBytesSkipped(now, QByteArray("\x00\x11\x22", 3));
        }
    });
    feed.start(10);
    QTimer prober;
    QObject::connect(&prober, &QTimer::timeout, [&] { probe->post(); });
    prober.start(50);
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();

    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    monitor.stopRecording();
    std::vector<double> lat = probe->latenciesMs;
    std::sort(lat.begin(), lat.end());
    const double p99 = lat.empty() ? 0.0 : lat[std::min(lat.size() - 1, size_t(double(lat.size()) * 0.99))];
    const double worst = lat.empty() ? 0.0 : lat.back();

    QFile file(csv);
    long rows = 0;
    if (file.open(QIODevice::ReadOnly))
        while (!file.atEnd())
            rows += file.readLine().startsWith('#') ? 0 : 1;
    // Column line, started, open, frames, commands, stopped.
    const long expected = 1 + 1 + 1 + frames + commands + 1;

    out(QStringLiteral("monitor at %1 frames/s for %2 s, trend span %3%4, recording")
            .arg(rate)
            .arg(elapsed, 0, 'f', 1)
            .arg(span, args.isSet(QStringLiteral("link-log")) ? QStringLiteral(", link log shown") : QString()));
    out(QStringLiteral("  frames            %1 (%2/s)").arg(frames).arg(double(frames) / elapsed, 0, 'f', 0));
    out(QStringLiteral("  CSV rows          %1 of %2 expected").arg(rows).arg(expected));
    out(QStringLiteral("  CPU               %1 % of one core").arg(100.0 * cpu / elapsed, 0, 'f', 1));
    out(QStringLiteral("  input latency     p99 %1 ms, worst %2 ms over %3 key presses")
            .arg(p99, 0, 'f', 1).arg(worst, 0, 'f', 1).arg(lat.size()));
    const bool ok = rows == expected && 100.0 * cpu / elapsed <= 10.0 && worst <= 50.0;
    out(ok ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
    return ok ? 0 : 1;
}
