// laserpanel-soak: the real window, in-process, against the simulated laser.
// The panel takes no options and reports nothing about itself, so this is
// where frame loss at line rate, CPU share and memory over reconnects are counted.
#include "probe.h"
#include "timezone.h"
#include "ptypair.h"
#include "simprocess.h"
#include "simlaser.h"
#include "variant.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

enum ExitCode { Pass = 0, Fail = 1, SetupError = 2 };

int qtWarnings = 0;

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    // The window logs setpoint edits at debug level; that would drown the figures.
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    ++qtWarnings;
    std::fprintf(stderr, "qt: %s\n", qPrintable(msg));
}

void out(const QString &line)
{
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString row(const char *label, const QString &value)
{
    return QStringLiteral("  %1 %2").arg(QString::fromLatin1(label), -26).arg(value);
}

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Runs the event loop (not a busy poll, which would inflate the CPU figure)
// until done() holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs, int pollMs = 20)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(pollMs);
    loop.exec();
    return done();
}

struct Payloads
{
    long emitted = 0;   // by the receive worker
    long delivered = 0; // through the queued hop the window's own slot takes
    long malformed = 0;
    // When the first and last payloads came, for the rate without start-up and linger.
    QElapsedTimer clock;
    qint64 firstMs = -1, lastMs = -1;
};

// Counts the current worker's payloads. The worker is replaced on every Open.
void count(MainWindow &w, MainWindowProbe &p, Payloads &c)
{
    QObject::connect(p.serialWorker(), &serialThread::sendData, &w, [&c](const QByteArray &payload) {
        ++c.emitted;
        c.lastMs = c.clock.elapsed();
        if (c.firstMs < 0)
            c.firstMs = c.lastMs;
        if (payload.size() != laser::kStatusPayloadSize)
            ++c.malformed;
    }, Qt::DirectConnection);
    // Queued like the window's connection, so it runs after the window has
    // decoded the same payload.
    QObject::connect(p.serialWorker(), &serialThread::sendData, &w, [&c] { ++c.delivered; },
                     Qt::QueuedConnection);
}

QString statusArea(MainWindowProbe &p)
{
    const MainWindowForm &ui = p.ui();
    return QStringLiteral("current %1 A, temp %2 C, freq %3 kHz, trigger %4, supply %5, TEC %6")
        .arg(ui.edit_current_a->text(), ui.edit_temp_a->text(), ui.edit_ifreq_a->text(),
             ui.comboBox_button_touchOff_read->currentText(), ui.comboBox_button_status->currentText(),
             ui.comboBox_button->currentText());
}

struct PhaseResult
{
    bool ok = false;
    bool setupError = false;
    QString summary;
};

PhaseResult lineRate(const QString &simPath, double rate, double seconds, bool showWindow, const QString &recordTo)
{
    PhaseResult result;
    const long requested = std::max(1L, static_cast<long>(seconds * rate + 0.5));
    out(QStringLiteral("phase 1: line rate, %1 frames/s for %2 s (%3 frames)")
            .arg(rate).arg(seconds).arg(requested));

    SimProcess sim(simPath, {"--rate", QString::number(rate), "--count", QString::number(requested),
                      "--variant", variant::kName, "--seed", "1"});
    if (!waitUntil([&] { return sim.has("link: ") || !sim.running(); }, 5000) || !sim.has("link: ")) {
        out(QStringLiteral("  laser-sim did not start (%1)").arg(simPath));
        result.summary = QStringLiteral("laser-sim did not start");
        result.setupError = true;
        return result;
    }

    MainWindow w;
    MainWindowProbe p(w);
    if (showWindow)
        w.show();
    p.ui().portnun_edit->setText(sim.link);
    p.ui().portopen_button->click();
    if (p.ui().edit_message->text() != QStringLiteral("串口打开成功")) {
        out(QStringLiteral("  Open failed: %1").arg(p.ui().edit_message->text()));
        result.summary = QStringLiteral("phase 1 Open failed");
        return result;
    }
    // As an operator watching a tuning run: trend shown, every frame recorded.
    if (!recordTo.isEmpty()) {
        p.monitor()->showTrend();
        if (!p.monitor()->startRecording(recordTo)) {
            out(QStringLiteral("  recording to %1 did not start").arg(recordTo));
            result.summary = QStringLiteral("recording did not start");
            result.setupError = true;
            return result;
        }
        out(QStringLiteral("  trend shown, recording to %1").arg(recordTo));
    }
    Payloads payloads;
    payloads.clock.start();
    count(w, p, payloads);

    // One command, so the status area ends on values the laser was told to reach.
    p.ui().scroll_current->setValue(12); // 2.40 A
    p.ui().scroll_pw->setValue(13);      // 3.25 ns
    p.ui().comboBox_button_touchOff->setCurrentIndex(1);
    p.ui().button_current_in->click();
    const QString writeMessage = p.ui().edit_message->text();

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds(RUSAGE_SELF);

    // Once a second: CPU share and frames, to see spikes and dips that the
    // average hides, and how late the event loop ran the sampler.
    std::vector<double> cpuPerSecond;
    std::vector<long> framesPerSecond;
    qint64 maxLagMs = 0;
    double lastCpu = cpu0;
    qint64 lastSampleMs = 0;
    long lastFrames = 0;
    QTimer sampler;
    // A coarse timer may fire up to 5 % early, which would read as missing frames.
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 now = wall.elapsed();
        if (now <= lastSampleMs)
            return;
        const double cpu = cpuSeconds(RUSAGE_SELF);
        const double interval = static_cast<double>(now - lastSampleMs) / 1000.0;
        cpuPerSecond.push_back(100.0 * (cpu - lastCpu) / interval);
        framesPerSecond.push_back(static_cast<long>(static_cast<double>(payloads.emitted - lastFrames) / interval + 0.5));
        maxLagMs = std::max(maxLagMs, now - lastSampleMs - 1000);
        lastCpu = cpu;
        lastSampleMs = now;
        lastFrames = payloads.emitted;
    });
    sampler.start(1000);

    const int streamTimeoutMs = static_cast<int>(2000.0 * requested / rate) + 30000;
    waitUntil([&] { return sim.has("sent: ") || !sim.running(); }, streamTimeoutMs, 50);
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
    sampler.stop();

    const bool finished = sim.has("sent: ");
    const long sent = sim.number("sent: ");
    const long skipped = sim.number("skipped: ");
    // Anything still in flight gets a moment to arrive.
    waitUntil([&] { return payloads.emitted >= sent; }, 5000);
    waitUntil([&] { return payloads.delivered >= payloads.emitted; }, 2000);
    waitUntil([&] { return !sim.running(); }, 5000);
    const double simCpu = cpuSeconds(RUSAGE_CHILDREN);

    const long lost = sent - payloads.emitted;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakRss = usage.ru_maxrss;   // KiB on Linux

    out(row("frames sent (laser-sim)", finished ? QString::number(sent) : QStringLiteral("no 'sent:' line")));
    out(row("skipped by laser-sim", QString::number(skipped) + (skipped ? QStringLiteral(" (panel fell behind)") : QString())));
    out(row("frames received", QString::number(payloads.emitted)));
    out(row("delivered to the window", QString::number(payloads.delivered)));
    out(row("malformed payloads", QString::number(payloads.malformed)));
    out(row("lost", QString::number(lost)));
    const double receiving = static_cast<double>(payloads.lastMs - payloads.firstMs) / 1000.0;
    out(row("stream time", QStringLiteral("%1 s, first to last frame %2 s (%3 frames/s)")
                               .arg(elapsed, 0, 'f', 1).arg(receiving, 0, 'f', 2)
                               .arg(receiving > 0 ? static_cast<double>(payloads.emitted - 1) / receiving : 0.0, 0, 'f', 1)));
    // Whole seconds only: the last sample may cover the stream's tail.
    const auto fullSeconds = framesPerSecond.size() > 1 ? framesPerSecond.size() - 1 : framesPerSecond.size();
    const long minFrames = fullSeconds ? *std::min_element(framesPerSecond.begin(), framesPerSecond.begin() + static_cast<long>(fullSeconds)) : 0;
    const long maxFrames = fullSeconds ? *std::max_element(framesPerSecond.begin(), framesPerSecond.begin() + static_cast<long>(fullSeconds)) : 0;
    out(row("frames per second", QStringLiteral("min %1, max %2").arg(minFrames).arg(maxFrames)));
    const double cpuPeak = cpuPerSecond.empty() ? 0.0 : *std::max_element(cpuPerSecond.begin(), cpuPerSecond.end());
    out(row("CPU, panel process", QStringLiteral("%1 % of one core (busiest second %2 %)")
                                     .arg(100.0 * cpu / elapsed, 0, 'f', 1).arg(cpuPeak, 0, 'f', 1)));
    out(row("CPU, laser-sim", QStringLiteral("%1 % of one core").arg(100.0 * simCpu / elapsed, 0, 'f', 1)));
    out(row("event loop, worst lag", QStringLiteral("%1 ms").arg(maxLagMs)));
    out(row("peak RSS", QStringLiteral("%1 MiB").arg(static_cast<double>(peakRss) / 1024.0, 0, 'f', 1)));
    out(row("command to the laser", writeMessage + (sim.has("command: ") ? QStringLiteral(", laser-sim got it")
                                                                          : QStringLiteral(", laser-sim did NOT get it"))));
    out(row("status area", statusArea(p)));
    out(row("message", p.ui().edit_message->text()));
    if (sim.has("bad frame"))
        out(row("laser-sim saw", sim.find("bad frame")));

    result.ok = finished && sent == requested && lost == 0 && skipped == 0 && payloads.malformed == 0
                && payloads.delivered == payloads.emitted;
    result.summary = QStringLiteral("%1/%2 frames, %3 lost, %4 skipped, CPU %5 %, peak RSS %6 MiB")
                         .arg(payloads.emitted).arg(sent).arg(lost).arg(skipped)
                         .arg(100.0 * cpu / elapsed, 0, 'f', 1)
                         .arg(static_cast<double>(peakRss) / 1024.0, 0, 'f', 1);
    return result;
}

PhaseResult reconnects(int cycles, int warmup, long boundKiB, bool showWindow)
{
    PhaseResult result;
    out(QStringLiteral("phase 2: %1 Open/Close cycles, one status frame each").arg(cycles));
    Pty pty;
    if (!pty.isValid()) {
        out(QStringLiteral("  no pseudo-terminal"));
        result.summary = QStringLiteral("no pseudo-terminal");
        result.setupError = true;
        return result;
    }
    const sim::Frame f = sim::Pump{}.statusFrame();
    const QByteArray frame(reinterpret_cast<const char *>(f.data()), static_cast<int>(f.size()));

    MainWindow w;
    MainWindowProbe p(w);
    if (showWindow)
        w.show();
    p.ui().portnun_edit->setText(pty.slaveName());

    int openFailures = 0, closeFailures = 0, missed = 0;
    long warmRss = -1;
    QStringList trend;
    Payloads payloads;
    QElapsedTimer wall;
    wall.start();
    qint64 slowestMs = 0;
    for (int i = 1; i <= cycles; ++i) {
        QElapsedTimer cycle;
        cycle.start();
        p.ui().portopen_button->click();
        if (p.ui().edit_message->text() != QStringLiteral("串口打开成功")) {
            if (openFailures++ < 5)
                out(QStringLiteral("  cycle %1: Open said %2").arg(i).arg(p.ui().edit_message->text()));
            continue;
        }
        count(w, p, payloads);
        const long before = payloads.delivered;
        pty.write(frame);
        if (!waitUntil([&] { return payloads.delivered > before; }, 2000, 1))
            ++missed;
        p.ui().button_close->click();
        if (p.ui().edit_message->text() != QStringLiteral("串口关闭成功"))
            ++closeFailures;
        pty.readAvailable();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        slowestMs = std::max(slowestMs, cycle.elapsed());
        if (i == warmup)
            warmRss = rssKiB();
        if (i == warmup || i % 250 == 0 || i == cycles)
            trend << QStringLiteral("%1: %2").arg(i).arg(rssKiB());
    }
    const long lastRss = rssKiB();
    if (warmRss < 0)
        warmRss = lastRss; // fewer cycles than the warm-up
    const long growth = lastRss - warmRss;

    out(row("RSS after warm-up", QStringLiteral("%1 KiB (cycle %2)").arg(warmRss).arg(std::min(warmup, cycles))));
    out(row("RSS after last cycle", QStringLiteral("%1 KiB").arg(lastRss)));
    out(row("growth", QStringLiteral("%1 KiB (bound %2 KiB)").arg(growth).arg(boundKiB)));
    out(row("RSS by cycle, KiB", trend.join(QStringLiteral(", "))));
    out(row("Open failures", QString::number(openFailures)));
    out(row("Close failures", QString::number(closeFailures)));
    out(row("frames missed", QString::number(missed)));
    out(row("cycle time", QStringLiteral("mean %1 ms, slowest %2 ms")
                              .arg(static_cast<double>(wall.elapsed()) / cycles, 0, 'f', 1).arg(slowestMs)));

    result.ok = openFailures == 0 && closeFailures == 0 && missed == 0 && growth <= boundKiB;
    result.summary = QStringLiteral("%1 cycles, %2 Open failures, %3 frames missed, RSS growth %4 KiB")
                         .arg(cycles).arg(openFailures).arg(missed).arg(growth);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(messageHandler);
    // As the panel's own main does: every frame gets a local time stamp.
    platform::pinTimeZone();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("laserpanel-soak"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the panel's window in-process against laser-sim at line rate, then opens and "
        "closes a pseudo-terminal many times; prints frame, CPU and memory figures. "
        "Exit status 0 when nothing was lost and memory stayed bounded, 1 otherwise, "
        "2 when the run could not be set up."));
    parser.addHelpOption();
    const QCommandLineOption simOpt("sim", "laser-sim executable.", "path", QStringLiteral(LASER_SIM_PATH));
    const QCommandLineOption secondsOpt("seconds", "Length of the line-rate phase (default 60).", "s", "60");
    const QCommandLineOption rateOpt("rate", "Status frames per second (default 886, the line's limit).", "hz", "886");
    const QCommandLineOption cyclesOpt("cycles", "Open/Close cycles (default 1000).", "n", "1000");
    const QCommandLineOption warmupOpt("warmup", "Cycles before the first RSS reading (default 50).", "n", "50");
    const QCommandLineOption boundOpt("max-growth-kib", "RSS growth allowed over the cycles (default 2048).", "kib", "2048");
    const QCommandLineOption hiddenOpt("hidden", "Do not show the window (no painting).");
    const QCommandLineOption recordOpt("record", "Show the trend and record to this CSV file during the line-rate phase.", "file");
    parser.addOptions({simOpt, secondsOpt, rateOpt, cyclesOpt, warmupOpt, boundOpt, hiddenOpt, recordOpt});
    parser.process(app);

    bool ok1 = false, ok2 = false, ok3 = false, ok4 = false, ok5 = false;
    const double seconds = parser.value(secondsOpt).toDouble(&ok1);
    const double rate = parser.value(rateOpt).toDouble(&ok2);
    const int cycles = parser.value(cyclesOpt).toInt(&ok3);
    const int warmup = parser.value(warmupOpt).toInt(&ok4);
    const long bound = parser.value(boundOpt).toLong(&ok5);
    if (!ok1 || !ok2 || !ok3 || !ok4 || !ok5 || seconds <= 0 || rate <= 0 || cycles < 1 || warmup < 0 || bound < 0) {
        std::fputs("laserpanel-soak: --seconds, --rate, --cycles, --warmup and --max-growth-kib take "
                   "positive numbers\n", stderr);
        return SetupError;
    }
    const bool show = !parser.isSet(hiddenOpt);

    out(QStringLiteral("laserpanel-soak: variant %1, platform %2").arg(variant::kName, QApplication::platformName()));
    const PhaseResult phase1 = lineRate(parser.value(simOpt), rate, seconds, show, parser.value(recordOpt));
    const PhaseResult phase2 = reconnects(cycles, warmup, bound, show);
    if (qtWarnings)
        out(QStringLiteral("Qt warnings: %1 (on stderr)").arg(qtWarnings));

    const bool pass = phase1.ok && phase2.ok;
    out(QStringLiteral("soak %1: line rate %2; reconnects %3")
            .arg(pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"), phase1.summary, phase2.summary));
    if (phase1.setupError || phase2.setupError)
        return SetupError;
    return pass ? Pass : Fail;
}
