// laserctl: the laser from a shell. Lists ports, finds lasers, prints and
// records status frames, sends setpoints, with the panel's own link code.
#include "csvrecord.h"
#include "ctl.h"
#include "jsonrecord.h"
#include "panelapi.h"
#include "panelclient.h"
#include "panelsocket.h"
#include "portsession.h"
#include "quitsignals.h"
#include "recorder.h"
#include "timezone.h"
#include "words.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using laser::LinkEvent;
using laser::PortSession;
using laser::words::seconds;

constexpr int kWriteTimeoutMs = 2000;
constexpr qint64 kStatusTimeoutMs = 3000;
constexpr qint64 kVerifyTimeoutMs = 10000;
constexpr double kMaxSeconds = 1e6;

// Where the lines go: standard output or --output, a whole line per write, so
// a pipe sees every line at once and a failed write leaves no torn line.
class Out
{
public:
    Out()
    {
        QObject::connect(&recorder, &laser::Recorder::failed, [this](const QString &reason) { failure = reason; });
    }
    // Empty on success, else the reason the target was refused.
    QString open(const QString &path, const QStringList &firstLines = QStringList())
    {
        QString error;
        const bool ok = path.isEmpty() ? recorder.startOn(1, firstLines, &error)
                                       : recorder.start(path, firstLines, &error);
        return ok ? QString() : error.isEmpty() ? QStringLiteral("cannot write") : error;
    }
    bool line(const QString &text)
    {
        return failure.isEmpty() && recorder.write(text);
    }
    laser::Recorder recorder;
    QString failure;
};

void complain(const QString &text)
{
    std::fprintf(stderr, "laserctl: %s\n", text.toUtf8().constData());
}

// The name as it may be shown: control characters as \xNN.
QString printableName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

int portError(const QString &port, const laser::OpenFailure &failure)
{
    complain(QStringLiteral("%1: %2").arg(printableName(port), failure.reason));
    return ctl::exitFor(failure);
}

enum class Format { Text, Json, Csv };

struct Options {
    QString command;
    QStringList ports;    // detect
    QString port;         // -p
    Format format = Format::Text;
    qint64 timeoutMs = -1;
    qint64 listenMs = 1500;
    qint64 durationMs = -1;
    QString output;
    bool reconnect = false;
    bool noPanel = false;
    bool variantGiven = false;
    laser::SetRequest set;
    bool dryRun = false;
    bool defaults = false;
    bool verify = false;
    double toleranceA = 0.10;
    const laser::Variant *variant = &laser::buildVariant();
};

bool seconds(const QString &text, qint64 &ms)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > kMaxSeconds)
        return false;
    ms = std::max<qint64>(1, std::llround(s * 1000));
    return true;
}

// Fills `o`; -1 to go on, else the exit code (help, version, usage errors).
int parse(const QCoreApplication &app, Options &o)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watch and set the pulsed fibre laser from a shell, with the panel's link code.\n"
        "\n"
        "Commands:\n"
        "  ports                 the serial ports the system lists\n"
        "  detect [PORT...]      listen, sending nothing, for status frames on the ports\n"
        "                        given, or on every listed port\n"
        "  status -p PORT        the next status frame, decoded\n"
        "  monitor -p PORT       every status frame and link event until stopped\n"
        "  set -p PORT [VALUES]  send one command frame; what is not given keeps the\n"
        "                        working point last sent on the port (by the panel or\n"
        "                        laserctl), or without one, or with --defaults, the\n"
        "                        panel's default (0.00 A, 5.00 ns, %1 kHz, internal)\n"
        "  panels                the ports that running panels serve to scripts\n"
        "\n"
        "While the panel holds the port, status, monitor and set go through it (unless\n"
        "--no-panel).")
                                         .arg(o.variant->initialSteps * o.variant->kHzPerStep));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("ports, detect, status, monitor, set or panels"),
                                 QStringLiteral("command [PORT...]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This text."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("The program's version."));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("The serial port, e.g. /dev/ttyUSB0."), QStringLiteral("PORT"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("status, monitor: one JSON object a line."));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("monitor: the panel's CSV recording format."));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("status: wait this long for a frame (default 3); "
                                                    "set --verify: for the laser to follow (default 10)."),
                                     QStringLiteral("S"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("detect: listen this long on each port (default 1.5)."),
                                    QStringLiteral("S"));
    const QCommandLineOption duration(QStringLiteral("duration"),
                                      QStringLiteral("monitor: stop after this long (default: until stopped)."),
                                      QStringLiteral("S"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("monitor: write to FILE, not stdout."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption reconnect(QStringLiteral("reconnect"),
                                       QStringLiteral("monitor: when the link is lost, wait for the port to come back."));
    const QCommandLineOption current(QStringLiteral("current"), QStringLiteral("set: pump current, 0 to 7.00 A."),
                                     QStringLiteral("A"));
    const QCommandLineOption pulse(QStringLiteral("pulse"), QStringLiteral("set: seed pulse width, 3.00 to 15.00 ns."),
                                   QStringLiteral("NS"));
    const QCommandLineOption freq(QStringLiteral("freq"),
                                  QStringLiteral("set: seed frequency in whole kHz, one step to 1000 kHz."),
                                  QStringLiteral("KHZ"));
    const QCommandLineOption trigger(QStringLiteral("trigger"), QStringLiteral("set: internal or external."),
                                     QStringLiteral("MODE"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("set: print the frame, send nothing."));
    const QCommandLineOption defaults(QStringLiteral("defaults"),
                                      QStringLiteral("set: what is not given takes the panel's default, not the "
                                                     "working point last sent on the port."));
    const QCommandLineOption verify(QStringLiteral("verify"),
                                    QStringLiteral("set: then check the laser's status frames against the setpoints."));
    const QCommandLineOption tolerance(QStringLiteral("tolerance"),
                                       QStringLiteral("set --verify: how far the pump current may be off (default 0.10)."),
                                       QStringLiteral("A"));
    const QCommandLineOption noPanel(QStringLiteral("no-panel"),
                                     QStringLiteral("status, monitor, set: open the port itself, never through the panel."));
    const QCommandLineOption variantOption(
        QStringLiteral("variant"),
        QStringLiteral("Firmware variant, v1.3 (10 kHz steps) or v1.2 (100 kHz steps); default %1.").arg(QLatin1String(o.variant->name)),
        QStringLiteral("V"));
    const QList<QCommandLineOption> all{help,    version, port,   json,    csv,     timeout,  listen,    duration,
                                        output,  reconnect, current, pulse, freq, trigger, dryRun, defaults, verify,
                                        tolerance, noPanel, variantOption};
    parser.addOptions(all);

    auto usage = [](const QString &text) {
        complain(text + QStringLiteral(" (see laserctl --help)"));
        return int(ctl::Usage);
    };
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText() + QStringLiteral("\nExit codes:\n") + ctl::exitCodeTable()), stdout);
        return ctl::Ok;
    }
    if (parser.isSet(version)) {
        std::printf("laserctl %s\n", LASERCTL_VERSION);
        return ctl::Ok;
    }
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    o.command = args.first();
    static const QHash<QString, QStringList> applies{
        {QStringLiteral("ports"), {}},
        {QStringLiteral("detect"), {QStringLiteral("listen")}},
        {QStringLiteral("status"),
         {QStringLiteral("port"), QStringLiteral("json"), QStringLiteral("timeout"), QStringLiteral("no-panel")}},
        {QStringLiteral("monitor"),
         {QStringLiteral("port"), QStringLiteral("json"), QStringLiteral("csv"), QStringLiteral("duration"),
          QStringLiteral("output"), QStringLiteral("reconnect"), QStringLiteral("no-panel")}},
        {QStringLiteral("set"),
         {QStringLiteral("port"), QStringLiteral("current"), QStringLiteral("pulse"), QStringLiteral("freq"),
          QStringLiteral("trigger"), QStringLiteral("dry-run"), QStringLiteral("defaults"), QStringLiteral("verify"), QStringLiteral("timeout"),
          QStringLiteral("tolerance"), QStringLiteral("no-panel")}},
        {QStringLiteral("panels"), {}},
    };
    if (!applies.contains(o.command))
        return usage(QStringLiteral("unknown command '%1'").arg(o.command));
    for (const QCommandLineOption &option : all) {
        const QString name = option.names().last();
        if (parser.isSet(option) && name != QLatin1String("variant") && !applies[o.command].contains(name))
            return usage(QStringLiteral("%1: --%2 does not apply").arg(o.command, name));
    }
    if (o.command == QLatin1String("detect"))
        o.ports = args.mid(1);
    else if (args.size() > 1)
        return usage(QStringLiteral("%1: unexpected argument '%2'").arg(o.command, args[1]));

    // The last of two values would win unseen; neither is sure to be meant.
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption &option : all) {
        const auto times = std::count_if(given.begin(), given.end(),
                                         [&](const QString &n) { return option.names().contains(n); });
        if (times > 1)
            return usage(QStringLiteral("--%1 given more than once").arg(option.names().last()));
    }
    if (parser.isSet(variantOption) && !(o.variant = laser::variantNamed(parser.value(variantOption))))
        return usage(QStringLiteral("--variant: '%1' is neither v1.3 nor v1.2").arg(parser.value(variantOption)));
    o.port = parser.value(port);
    if (parser.isSet(port) && o.port.isEmpty())
        return usage(QStringLiteral("-p: empty port name"));
    const bool needsPort = o.command == QLatin1String("status") || o.command == QLatin1String("monitor")
        || (o.command == QLatin1String("set") && !parser.isSet(dryRun));
    if (needsPort && o.port.isEmpty())
        return usage(QStringLiteral("%1 needs a port: -p PORT").arg(o.command));
    if (parser.isSet(json) && parser.isSet(csv))
        return usage(QStringLiteral("--json and --csv: choose one"));
    o.format = parser.isSet(json) ? Format::Json : parser.isSet(csv) ? Format::Csv : Format::Text;

    const QCommandLineOption *timed[] = {&timeout, &listen, &duration};
    qint64 *targets[] = {&o.timeoutMs, &o.listenMs, &o.durationMs};
    for (int i = 0; i < 3; ++i) {
        if (parser.isSet(*timed[i]) && !seconds(parser.value(*timed[i]), *targets[i]))
            return usage(QStringLiteral("--%1: '%2' is not a number of seconds above 0")
                             .arg(timed[i]->names().last(), parser.value(*timed[i])));
    }
    if (o.timeoutMs < 0)
        o.timeoutMs = o.command == QLatin1String("set") ? kVerifyTimeoutMs : kStatusTimeoutMs;
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return usage(QStringLiteral("--output: empty file name"));
    o.output = parser.value(output);
    o.reconnect = parser.isSet(reconnect);
    o.noPanel = parser.isSet(noPanel);
    o.variantGiven = parser.isSet(variantOption);

    o.set = {parser.value(current), parser.value(pulse), parser.value(freq), parser.value(trigger)};
    for (const QCommandLineOption *value : {&current, &pulse, &freq, &trigger})
        if (parser.isSet(*value) && parser.value(*value).trimmed().isEmpty())
            return usage(QStringLiteral("--%1: empty value").arg(value->names().last()));
    o.dryRun = parser.isSet(dryRun);
    o.defaults = parser.isSet(defaults);
    o.verify = parser.isSet(verify);
    if (o.dryRun && o.verify)
        return usage(QStringLiteral("--verify needs the frame sent; drop --dry-run"));
    if (parser.isSet(tolerance)) {
        bool ok = false;
        o.toleranceA = parser.value(tolerance).toDouble(&ok);
        if (!ok || !std::isfinite(o.toleranceA) || o.toleranceA < 0)
            return usage(QStringLiteral("--tolerance: '%1' is not a current of 0 A or more").arg(parser.value(tolerance)));
    }
    return -1;
}

int ports()
{
    const auto infos = QSerialPortInfo::availablePorts();
    if (infos.isEmpty()) {
        complain(QStringLiteral("the system lists no serial ports"));
        return ctl::Ok;
    }
    auto orDash = [](const QString &s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    QList<QStringList> rows{{QStringLiteral("PORT"), QStringLiteral("DESCRIPTION"), QStringLiteral("MANUFACTURER"),
                             QStringLiteral("VID:PID"), QStringLiteral("SERIAL")}};
    for (const QSerialPortInfo &info : infos) {
        const QString ids = info.hasVendorIdentifier() && info.hasProductIdentifier()
            ? QStringLiteral("%1:%2").arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                  .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'))
            : QString();
        rows.append({info.systemLocation(), orDash(info.description()), orDash(info.manufacturer()), orDash(ids),
                     orDash(info.serialNumber())});
    }
    QVector<int> widths(5, 0);
    for (const QStringList &row : rows)
        for (int i = 0; i < 5; ++i)
            widths[i] = std::max(widths[i], int(row[i].size()));
    Out out;
    out.open(QString());
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < 4; ++i)
            line += row[i].leftJustified(widths[i] + 2);
        out.line(line + row[4]);
    }
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}

int detect(QCoreApplication &app, const Options &o)
{
    QStringList names = o.ports;
    if (names.isEmpty()) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            names << info.systemLocation();
        if (names.isEmpty()) {
            complain(QStringLiteral("the system lists no serial ports; name them: laserctl detect PORT..."));
            return ctl::NoLaser;
        }
    }
    struct Watch {
        QString name;
        std::unique_ptr<PortSession> link;
        ctl::Tally tally;
        laser::OpenFailure failure;
        QString lost;
    };
    std::vector<Watch> watches(size_t(names.size()));
    QElapsedTimer clock;
    for (int i = 0; i < names.size(); ++i) {
        Watch &w = watches[size_t(i)];
        w.name = names[i];
        w.link = std::make_unique<PortSession>();
        if (!w.link->open(names[i], QIODevice::ReadOnly, &w.failure))
            continue;
        QObject::connect(w.link.get(), &PortSession::statusDecoded, [&w, &clock] {
            const qint64 now = clock.elapsed();
            if (w.tally.frames++ == 0)
                w.tally.firstMs = now;
            w.tally.lastMs = now;
        });
        QObject::connect(w.link.get(), &PortSession::bytesSkipped,
                         [&w](const QDateTime &, const QByteArray &bytes) { w.tally.skippedBytes += bytes.size(); });
        QObject::connect(w.link.get(), &PortSession::linkEvent,
                         [&w](const QDateTime &, LinkEvent event, const QString &detail) {
                             if (event == LinkEvent::Lost)
                                 w.lost = detail;
                         });
    }
    clock.start();
    QTimer::singleShot(int(o.listenMs), &app, &QCoreApplication::quit);
    app.exec();   // a stop signal ends the listening early; what came is reported
    const qint64 listened = clock.elapsed();

    Out out;
    out.open(QString());
    bool found = false;
    int firstFailure = ctl::Ok;
    bool allFailed = true;
    for (Watch &w : watches) {
        const QString name = printableName(w.name);
        if (w.failure.kind != laser::OpenFailure::None) {
            out.line(QStringLiteral("%1  cannot open: %2").arg(name, w.failure.reason));
            if (firstFailure == ctl::Ok)
                firstFailure = ctl::exitFor(w.failure);
            continue;
        }
        allFailed = false;
        w.link->close();
        w.tally.listenedMs = listened;
        found = found || ctl::isLaser(w.tally);
        QString line = ctl::detectLine(name, w.tally);
        if (!w.lost.isEmpty())
            line += QStringLiteral("; then the link was lost (%1)").arg(w.lost);
        out.line(line);
    }
    if (found)
        return ctl::Ok;
    return allFailed ? firstFailure : int(ctl::NoLaser);
}

// What a command does with the laser's reports, wherever they come from.
struct Sink {
    std::function<void(const QDateTime &, const laser::Reading &)> status = [](const QDateTime &, const laser::Reading &) {};
    // kind: laser::csv::eventKind(), or a kind the panel named.
    std::function<void(const QDateTime &, const QString &, const QString &)> event =
        [](const QDateTime &, const QString &, const QString &) {};
    std::function<void(const QDateTime &, const laser::Setpoints &)> command = [](const QDateTime &, const laser::Setpoints &) {};
    std::function<void(qint64)> noise = [](qint64) {};
    // The link ended: lost, or the panel closed its port or went away.
    std::function<void(const QString &)> ended = [](const QString &) {};
};

// The laser's reports: through the panel that holds the port when one serves
// it (and --no-panel does not forbid it), else from the port itself. With
// reconnect, after the link ends it tries both again until one answers.
class Source
{
public:
    Source(const Options &o, Sink sink) : o(o), sink(std::move(sink))
    {
        link.setKHzPerStep(o.variant->kHzPerStep);
        retry.setInterval(PortSession::kReconnectIntervalMs);
        QObject::connect(&retry, &QTimer::timeout, [this] { reopen(); });
        QObject::connect(&link, &PortSession::statusDecoded,
                         [this](const QDateTime &when, const laser::Reading &r) { this->sink.status(when, r); });
        QObject::connect(&link, &PortSession::bytesSkipped,
                         [this](const QDateTime &, const QByteArray &bytes) { this->sink.noise(bytes.size()); });
        QObject::connect(&link, &PortSession::linkEvent, [this](const QDateTime &when, LinkEvent event, const QString &detail) {
            // The first open is the command's own, not news.
            if (event == LinkEvent::Open && !started)
                return;
            if (event == LinkEvent::Open)
                up = true;
            this->sink.event(when, laser::csv::eventKind(event), detail);
            if (event == LinkEvent::Lost)
                linkEnded(detail);
        });
    }
    ~Source() { close(); }

    // -1 once open, else the exit code, reported.
    int open(QIODevice::OpenMode openMode)
    {
        mode = openMode;
        const int panelCode = reachPanel(true);
        if (panelCode != 0)
            return panelCode;
        laser::OpenFailure failure;
        if (!link.open(o.port, mode, &failure))
            return portError(o.port, failure);
        started = up = true;
        return -1;
    }
    void setReconnect(bool on) { reconnect = on; }
    PanelClient *panel() { return viaPanel; }
    PortSession &port() { return link; }
    QString variantName() const
    {
        return viaPanel ? viaPanel->hello().value(QStringLiteral("variant")).toString() : QLatin1String(o.variant->name);
    }
    void close()
    {
        retry.stop();
        link.blockSignals(true);
        link.close();
        link.blockSignals(false);
        retire();
        retired.reset();
    }

private:
    // Called from the panel's own signals too: it is deleted at the next
    // close or reach, not under its own feet.
    void retire()
    {
        if (!viaPanel)
            return;
        viaPanel->disconnect();
        viaPanel->close();
        retired.reset(viaPanel);
        viaPanel = nullptr;
    }

    // -1 through a panel now, 0 when none serves the port, else an exit code.
    int reachPanel(bool first)
    {
        if (o.noPanel)
            return 0;
        retired.reset();
        auto *panel = new PanelClient;
        const PanelClient::Reach reach = panel->reach(o.port, kPanelTimeoutMs);
        if (reach != PanelClient::Ready) {
            if (reach == PanelClient::Refused && first)
                complain(QStringLiteral("%1: busy: the panel holds it and does not serve this script (%2)")
                             .arg(printableName(o.port), panel->failure()));
            delete panel;
            return reach == PanelClient::Refused && first ? int(ctl::PortBusy) : 0;
        }
        complain(QStringLiteral("%1: through the panel (process %2), which holds the port")
                     .arg(printableName(o.port))
                     .arg(panel->pid()));
        viaPanel = panel;
        QObject::connect(panel, &PanelClient::status, [this](const QDateTime &when, const laser::Reading &r) { sink.status(when, r); });
        QObject::connect(panel, &PanelClient::command,
                         [this](const QDateTime &when, const laser::Setpoints &s) { sink.command(when, s); });
        QObject::connect(panel, &PanelClient::event, [this](const QDateTime &when, const QString &kind, const QString &detail) {
            sink.event(when, kind, detail);
            if (kind == laser::csv::eventKind(LinkEvent::Lost) || kind == laser::csv::eventKind(LinkEvent::Close))
                linkEnded(kind == laser::csv::eventKind(LinkEvent::Close) ? QStringLiteral("the panel closed the port") : detail);
        });
        QObject::connect(panel, &PanelClient::ended, [this] {
            if (!up)
                return;
            const QString why = QStringLiteral("the panel went away");
            sink.event(QDateTime::currentDateTimeUtc(), laser::csv::eventKind(LinkEvent::Lost), why);
            linkEnded(why);
        });
        if (!first)
            sink.event(QDateTime::currentDateTimeUtc(), laser::csv::eventKind(LinkEvent::Open), o.port);
        started = up = true;
        return -1;
    }

    void linkEnded(const QString &detail)
    {
        if (!up)
            return;
        up = false;
        retire();
        sink.ended(detail);
        if (reconnect)
            retry.start();
    }

    void reopen()
    {
        if (up || reachPanel(false) == -1 || link.open(o.port, mode, nullptr))
            retry.stop();
    }

    static constexpr int kPanelTimeoutMs = 2000;
    const Options &o;
    Sink sink;
    PortSession link;
    PanelClient *viaPanel = nullptr;
    std::unique_ptr<PanelClient> retired;
    QTimer retry;
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    bool reconnect = false;
    bool started = false;   // opened once: later opens are reported
    bool up = false;        // the link is there now
};

int status(QCoreApplication &app, const Options &o)
{
    int outcome = -1;
    qint64 noise = 0;
    Out out;
    Sink sink;
    sink.status = [&](const QDateTime &, const laser::Reading &r) {
        if (outcome != -1)
            return;   // more frames of the same read
        const QString now = ctl::now();
        // One frame tells no lost lock: that needs the lock seen first.
        laser::Alarms alarms;
        alarms.update(r);
        const QStringList active = alarms.activeNames();
        if (o.format == Format::Json) {
            QJsonObject object = laser::json::statusJson(now, r);
            object.insert(QStringLiteral("alarms"), QJsonArray::fromStringList(active));
            out.line(laser::json::jsonLine(object));
        } else {
            out.line(ctl::statusBlock(printableName(o.port), now, r) + QStringLiteral("\nalarms            ")
                     + (active.isEmpty() ? QStringLiteral("none") : active.join(QStringLiteral(", "))));
        }
        outcome = active.isEmpty() ? ctl::Ok : ctl::LaserFault;
        app.quit();
    };
    sink.noise = [&](qint64 bytes) { noise += bytes; };
    sink.ended = [&](const QString &detail) {
        if (outcome != -1)
            return;
        complain(QStringLiteral("%1: link lost (%2)").arg(printableName(o.port), detail));
        outcome = ctl::LinkLost;
        app.quit();
    };
    Source source(o, sink);
    const int failed = source.open(QIODevice::ReadOnly);
    if (failed >= 0)
        return failed;
    if (source.panel())
        source.panel()->subscribe();
    out.open(QString());
    QTimer::singleShot(int(o.timeoutMs), &app, [&] {
        if (outcome == -1)
            outcome = ctl::NoLaser;
        app.quit();
    });
    app.exec();
    source.close();
    if (outcome == -1 || outcome == ctl::NoLaser) {
        complain(QStringLiteral("%1: no valid status frame %2%3")
                     .arg(printableName(o.port),
                          outcome == -1 ? QStringLiteral("before the stop signal")
                                        : QStringLiteral("within %1 s").arg(seconds(o.timeoutMs)),
                          noise ? QStringLiteral(" (%1 bytes of noise)").arg(noise) : QString()));
        return ctl::NoLaser;
    }
    if (!out.failure.isEmpty()) {
        complain(QStringLiteral("stdout: writing failed (%1)").arg(out.failure));
        return ctl::Failed;
    }
    return outcome;
}

int monitor(QCoreApplication &app, const Options &o)
{
    int outcome = -1;
    Out out;
    const QString port = printableName(o.port);
    const QString target = o.output.isEmpty() ? QStringLiteral("stdout") : o.output;
    auto write = [&](const QString &line) {
        if (outcome != ctl::Failed)
            out.line(line);
    };
    Sink sink;
    sink.status = [&](const QDateTime &when, const laser::Reading &r) {
        switch (o.format) {
        case Format::Text: write(ctl::statusText(laser::csv::isoTime(when), r)); break;
        case Format::Json: write(laser::json::jsonLine(laser::json::statusJson(laser::csv::isoTime(when), r))); break;
        case Format::Csv: write(laser::csv::statusRow(when, r)); break;
        }
    };
    // Only through the panel: its operator's commands and scripts'.
    sink.command = [&](const QDateTime &when, const laser::Setpoints &s) {
        switch (o.format) {
        case Format::Text: write(ctl::commandText(laser::csv::isoTime(when), s)); break;
        case Format::Json: write(laser::json::jsonLine(laser::json::commandJson(laser::csv::isoTime(when), s))); break;
        case Format::Csv: write(laser::csv::commandRow(when, s)); break;
        }
    };
    sink.event = [&](const QDateTime &when, const QString &kind, const QString &detail) {
        const QString shown = printableName(detail);
        switch (o.format) {
        case Format::Text: write(ctl::eventText(laser::csv::isoTime(when), kind, shown)); break;
        case Format::Json: write(laser::json::jsonLine(laser::json::eventJson(laser::csv::isoTime(when), kind, shown))); break;
        case Format::Csv: write(laser::csv::eventRow(when, kind, shown)); break;
        }
    };
    sink.ended = [&](const QString &detail) {
        const QString shown = printableName(detail);
        if (!o.reconnect) {
            complain(QStringLiteral("%1: link lost (%2)").arg(port, shown));
            if (outcome == -1)
                outcome = ctl::LinkLost;
            app.quit();
            return;
        }
        complain(QStringLiteral("%1: link lost (%2); waiting for the port to come back").arg(port, shown));
    };
    Source source(o, sink);
    const int failed = source.open(QIODevice::ReadOnly);
    if (failed >= 0)
        return failed;
    source.setReconnect(o.reconnect);
    QStringList header;
    if (o.format == Format::Csv)
        header = laser::csv::header(QStringLiteral("laserctl %1").arg(QStringLiteral(LASERCTL_VERSION)),
                                    source.variantName(), o.port, QDateTime::currentDateTimeUtc());
    const QString refused = out.open(o.output, header);
    if (!refused.isEmpty()) {
        complain(QStringLiteral("%1: cannot write (%2)").arg(target, refused));
        return ctl::Failed;
    }
    // The first failed write ends the run at once, with that write's reason.
    QObject::connect(&out.recorder, &laser::Recorder::failed, [&](const QString &reason) {
        if (outcome == ctl::Failed)
            return;
        complain(QStringLiteral("%1: writing failed (%2)").arg(target, reason));
        outcome = ctl::Failed;
        app.quit();
    });
    if (source.panel())
        source.panel()->subscribe();
    if (o.durationMs > 0)
        QTimer::singleShot(int(o.durationMs), &app, [&] {
            if (outcome == -1)
                outcome = ctl::Ok;
            app.quit();
        });
    app.exec();   // ends with the duration, a stop signal, a lost link or a failed write
    source.close();
    out.recorder.stop();
    return outcome == -1 ? int(ctl::Ok) : outcome;
}

// The set request as the panel's socket takes it: the values as given.
QJsonObject setRequest(const laser::SetRequest &set)
{
    QJsonObject request{{QStringLiteral("op"), QStringLiteral("set")}};
    const std::pair<const char *, QString> values[] = {
        {"current", set.current}, {"pulse", set.pulse}, {"freq", set.freq}, {"trigger", set.trigger}};
    for (const auto &[key, value] : values)
        if (!value.isEmpty())
            request.insert(QLatin1String(key), value);
    return request;
}

int set(QCoreApplication &app, const Options &o)
{
    // What is not given keeps what the laser was last told on this port, so
    // that setting one value does not quietly reset the others.
    laser::SetRequest request = o.set;
    QStringList kept;
    laser::WorkingPoint remembered;
    if (o.defaults) {
        const laser::Setpoints d = laser::defaultCommand(*o.variant).effective;
        ctl::fillFromRecord(request, {d.currentA, d.pulseNs, d.freqKHz, d.externalTrigger, QDateTime()});
    } else if (!o.port.isEmpty()) {
        QString why;
        switch (laser::WorkingPointStore().load(laser::workingPointKey(o.port), remembered, &why)) {
        case laser::WorkingPointStore::Loaded::Found:
            kept = ctl::fillFromRecord(request, remembered);
            break;
        case laser::WorkingPointStore::Loaded::Unusable:
            complain(QStringLiteral("note: %1; the panel's defaults are used").arg(why));
            break;
        case laser::WorkingPointStore::Loaded::None:
            break;
        }
    }
    laser::SetCommand command = laser::defaultCommand(*o.variant);
    QString error = laser::buildCommand(request, *o.variant, command);
    if (!error.isEmpty()) {
        complain(error);
        return ctl::Usage;
    }
    Out out;
    out.open(QString());
    if (!kept.isEmpty())
        out.line(QStringLiteral("kept from the working point last sent %1: %2")
                     .arg(laser::csv::isoTime(remembered.sent), kept.join(QStringLiteral(", "))));
    auto values = [](const laser::Setpoints &s, const QString &variant) {
        return QStringLiteral("current %1 A  pulse %2 ns  frequency %3 kHz  trigger %4  (%5)")
            .arg(laser::words::twoDecimals(s.currentA), laser::words::twoDecimals(s.pulseNs))
            .arg(s.freqKHz)
            .arg(laser::words::trigger(s.externalTrigger), variant);
    };
    auto finish = [&](int code) {
        if (out.failure.isEmpty())
            return code;
        complain(QStringLiteral("stdout: writing failed (%1)").arg(out.failure));
        return int(ctl::Failed);
    };
    if (o.dryRun) {
        for (const QString &note : command.truncations)
            out.line(QStringLiteral("note: ") + note);
        out.line(QStringLiteral("frame (dry run, not sent): ") + laser::words::hex(laser::commandFrame(command)));
        out.line(values(command.effective, QLatin1String(o.variant->name)));
        return finish(ctl::Ok);
    }

    // The laser needs time to ramp its pump; take the first frame that
    // agrees, or judge the last one when the time is up.
    bool judging = false, any = false, agreed = false;
    QString lost;
    laser::Reading last;
    laser::Setpoints s = command.effective;
    Sink sink;
    sink.status = [&](const QDateTime &, const laser::Reading &r) {
        if (!judging || agreed)
            return;
        any = true;
        last = r;
        const ctl::Verdict v = ctl::judge(s, r, o.toleranceA);
        if (v.triggerMatches && v.currentClose) {
            agreed = true;
            app.quit();
        }
    };
    sink.ended = [&](const QString &detail) {
        lost = detail;
        if (judging)
            app.quit();
    };
    Source source(o, sink);
    const int failed = source.open(QIODevice::ReadWrite);
    if (failed >= 0)
        return failed;
    const QString port = printableName(o.port);
    QString variant = QLatin1String(o.variant->name);
    if (PanelClient *panel = source.panel()) {
        // The panel's ranges and steps count, and its setpoints fill in what is not given.
        variant = source.variantName();
        const laser::Variant *panelVariant = laser::variantNamed(variant);
        if (!panelVariant || (o.variantGiven && panelVariant != o.variant)) {
            complain(QStringLiteral("%1: the panel runs %2, not %3").arg(port, variant, QLatin1String(o.variant->name)));
            return ctl::Usage;
        }
        command = laser::defaultCommand(*panelVariant);
        error = laser::buildCommand(request, *panelVariant, command);
        if (!error.isEmpty()) {
            complain(error);
            return ctl::Usage;
        }
        QJsonObject reply;
        if (!panel->call(setRequest(request), reply, kWriteTimeoutMs)) {
            complain(QStringLiteral("%1: the panel did not answer; the command may not have been sent").arg(port));
            return ctl::Failed;
        }
        if (!reply.value(QStringLiteral("ok")).toBool()) {
            const QString code = reply.value(QStringLiteral("code")).toString();
            complain(QStringLiteral("%1: %2").arg(port, reply.value(QStringLiteral("message")).toString()));
            return code == laser::api::code::refused ? int(ctl::PanelRefuses)
                 : code == laser::api::code::badValue ? int(ctl::Usage)
                                                       : int(ctl::Failed);
        }
        for (const QString &note : command.truncations)
            out.line(QStringLiteral("note: ") + note);
        laser::json::setpointsFrom(reply.value(QStringLiteral("sent")).toObject(), s);
        out.line(QStringLiteral("sent to %1 through the panel: %2").arg(port, reply.value(QStringLiteral("frame")).toString()));
        if (o.verify)
            panel->subscribe();
    } else {
        for (const QString &note : command.truncations)
            out.line(QStringLiteral("note: ") + note);
        PortSession &link = source.port();
        // Sent means on the line: a frame still queued when we give up was not.
        if (link.send(laser::toCommand(command)) != PortSession::Sent::Ok || !link.drain(kWriteTimeoutMs)) {
            const int waiting = link.waitingCommands();
            const QString reason = waiting > 0
                ? QStringLiteral("the command was not delivered: the port took nothing for %1 s").arg(seconds(kWriteTimeoutMs))
                : QStringLiteral("writing failed (%1)").arg(link.port()->errorString());
            source.close();
            complain(QStringLiteral("%1: %2; 1 command not sent").arg(port, reason));
            return ctl::Failed;
        }
        out.line(QStringLiteral("sent to %1: %2").arg(port, laser::words::hex(laser::commandFrame(command))));
    }
    out.line(values(s, variant));
    if (!o.verify)
        return finish(ctl::Ok);

    judging = true;
    QTimer::singleShot(int(o.timeoutMs), &app, &QCoreApplication::quit);
    if (lost.isEmpty())
        app.exec();
    source.close();
    if (!lost.isEmpty()) {
        complain(QStringLiteral("%1: link lost while verifying (%2)").arg(port, lost));
        return ctl::LinkLost;
    }
    if (!any) {
        complain(QStringLiteral("%1: no status frame within %2 s to verify against").arg(port, seconds(o.timeoutMs)));
        return ctl::NoLaser;
    }
    for (const QString &line : ctl::verdictLines(s, last, ctl::judge(s, last, o.toleranceA), o.toleranceA))
        out.line(line);
    return finish(agreed ? int(ctl::Ok) : int(ctl::VerifyMismatch));
}

// Every port a running panel serves; sockets of panels that are gone are passed over.
int panels()
{
    QString why;
    const QStringList names = laser::panel::socketNames(&why);
    if (!why.isEmpty()) {
        complain(QStringLiteral("no running panel serves a port (%1)").arg(why));
        return ctl::Ok;
    }
    Out out;
    out.open(QString());
    int found = 0;
    for (const QString &name : names) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(1000))
            continue;
        socket.write("{\"op\":\"hello\"}\n");
        QByteArray line;
        while (!line.endsWith('\n') && socket.waitForReadyRead(2000))
            line += socket.readAll();
        const QJsonObject hello = QJsonDocument::fromJson(line.left(line.indexOf('\n'))).object();
        if (!hello.value(QStringLiteral("ok")).toBool())
            continue;
        ++found;
        out.line(QStringLiteral("%1  process %2  %3  commands %4")
                     .arg(printableName(hello.value(QStringLiteral("port")).toString()))
                     .arg(qint64(hello.value(QStringLiteral("pid")).toDouble()))
                     .arg(hello.value(QStringLiteral("variant")).toString(),
                          hello.value(QStringLiteral("commands_allowed")).toBool() ? QStringLiteral("allowed")
                                                                                   : QStringLiteral("refused")));
    }
    if (found == 0)
        complain(QStringLiteral("no running panel serves a port"));
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}
} // namespace

int main(int argc, char **argv)
{
    platform::pinTimeZone();
    // Qt's own event loop costs less per wake-up than GLib's, and at the
    // line's full rate laserctl wakes up for every frame.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("laserctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LASERCTL_VERSION));
    qRegisterMetaType<laser::Reading>();
    // Where they cannot be caught they keep their default action.
    platform::quitOnSignals(app);

    Options o;
    const int parsed = parse(app, o);
    if (parsed >= 0)
        return parsed;
    if (o.command == QLatin1String("ports"))
        return ports();
    if (o.command == QLatin1String("detect"))
        return detect(app, o);
    if (o.command == QLatin1String("status"))
        return status(app, o);
    if (o.command == QLatin1String("monitor"))
        return monitor(app, o);
    if (o.command == QLatin1String("panels"))
        return panels();
    return set(app, o);
}
