// laserpanel-api-load: the real window, in-process, against the simulated
// laser at the line's full rate, serving scripts on its local socket. It
// waits for the given number of clients, then measures the panel's CPU and
// how late a 5 ms timer of its event loop runs; bench-api.sh starts the
// clients (Python, standard library) as processes of their own.
#include "panelserver.h"
#include "portsession.h"
#include "probe.h"
#include "simprocess.h"
#include "timezone.h"
#include "variant.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>

#include <cstdio>

#include <sys/resource.h>

namespace {
void out(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Turns the event loop until done() or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window logs every setpoint at debug level, and the offscreen
    // platform says once that it keeps no size hints.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg && type != QtInfoMsg && !msg.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "qt: %s\n", qPrintable(msg));
    });
    platform::pinTimeZone();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption simOpt("sim", "laser-sim executable.", "path", QStringLiteral(LASER_SIM_PATH));
    const QCommandLineOption secondsOpt("seconds", "How long to measure (default 30).", "s", "30");
    const QCommandLineOption clientsOpt("clients", "Clients to wait for before measuring (default 0).", "n", "0");
    parser.addOptions({simOpt, secondsOpt, clientsOpt});
    parser.process(app);
    const int seconds = parser.value(secondsOpt).toInt();
    const int clients = parser.value(clientsOpt).toInt();

    SimProcess sim(parser.value(simOpt), {"--rate", "886", "--variant", variant::kName, "--seed", "1"});
    if (!waitUntil([&] { return sim.has("link: "); }, 5000)) {
        out(QStringLiteral("laser-sim did not start"));
        return 2;
    }
    MainWindow w;
    MainWindowProbe p(w);
    w.show();   // painted, as an operator has it
    p.open(sim.link);
    auto *server = w.findChild<laser::PanelServer *>();
    auto *session = w.findChild<laser::PortSession *>();
    if (!server || !server->isServing()) {
        out(QStringLiteral("the panel does not serve: %1").arg(p.ui().edit_message->text()));
        return 2;
    }
    int dropped = 0;
    QObject::connect(server, &laser::PanelServer::note, [&](const QDateTime &, const QString &text) {
        dropped += text.startsWith(QLatin1String("dropped"));
        out(QStringLiteral("link log: ") + text);
    });
    out(QStringLiteral("port: %1").arg(sim.link));
    if (!waitUntil([&] { return server->clientCount() >= clients; }, 30000)) {
        out(QStringLiteral("only %1 of %2 clients came").arg(server->clientCount()).arg(clients));
        return 2;
    }

    long frames = 0;
    QObject::connect(session, &laser::PortSession::statusDecoded, [&frames] { ++frames; });
    QElapsedTimer wall;
    qint64 lastTick = 0, worstLag = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = wall.elapsed();
        worstLag = std::max(worstLag, now - lastTick - 5);
        lastTick = now;
    });
    const double cpu0 = cpuSeconds();
    wall.start();
    probe.start(5);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = 100.0 * (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0);
    out(QStringLiteral("frames decoded: %1 (%2 frames/s)").arg(frames).arg(double(frames) * 1000.0 / double(wall.elapsed()), 0, 'f', 1));
    out(QStringLiteral("clients: %1 at the start, %2 at the end, %3 dropped").arg(clients).arg(server->clientCount()).arg(dropped));
    out(QStringLiteral("panel CPU: %1 % of one core").arg(cpu, 0, 'f', 2));
    out(QStringLiteral("worst event-loop lag: %1 ms").arg(worstLag));
    return 0;
}
