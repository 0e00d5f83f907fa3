// laserctl: the laser from a shell. Lists ports, finds lasers, prints and
// records status frames, sends setpoints, with the panel's own link code.
#include "csvrecord.h"
#include "ctl.h"
#include "portlink.h"
#include "quitsignals.h"
#include "timezone.h"
#include "stalerule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using laser::LinkEvent;

constexpr int kWriteTimeoutMs = 2000;
constexpr int kReconnectIntervalMs = 500;
constexpr qint64 kStatusTimeoutMs = 3000;
constexpr qint64 kVerifyTimeoutMs = 10000;
constexpr double kMaxSeconds = 1e6;

// Line-buffered, so a pipe sees every line as it is written.
class Out
{
public:
    explicit Out(std::FILE *file) : file(file) { std::setvbuf(file, nullptr, _IOLBF, BUFSIZ); }
    ~Out()
    {
        if (file != stdout)
            std::fclose(file);
    }
    Out(const Out &) = delete;
    Out &operator=(const Out &) = delete;

    void line(const QString &text)
    {
        QByteArray bytes = text.toUtf8();
        bytes += '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    }
    bool finish() { return std::fflush(file) == 0 && !std::ferror(file); }

private:
    std::FILE *file;
};

void complain(const QString &text)
{
    std::fprintf(stderr, "laserctl: %s\n", text.toUtf8().constData());
}

int portError(const QString &port, const ctl::OpenFailure &failure)
{
    complain(QStringLiteral("%1: %2").arg(printableName(port), failure.reason));
    return failure.code;
}

QString secondsText(qint64 ms)
{
    return QString::number(ms / 1000.0, 'f', 1);
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
    ctl::SetRequest set;
    bool dryRun = false;
    bool verify = false;
    double toleranceA = 0.10;
    ctl::Variant variant = ctl::buildVariant();
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
        "  set -p PORT [VALUES]  send one command frame; what is not given takes the\n"
        "                        panel's default (0.00 A, 5.00 ns, %1 kHz, internal)")
                                         .arg(o.variant.initialSteps * o.variant.kHzPerStep));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("ports, detect, status, monitor or set"),
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
    const QCommandLineOption verify(QStringLiteral("verify"),
                                    QStringLiteral("set: then check the laser's status frames against the setpoints."));
    const QCommandLineOption tolerance(QStringLiteral("tolerance"),
                                       QStringLiteral("set --verify: how far the pump current may be off (default 0.10)."),
                                       QStringLiteral("A"));
    const QCommandLineOption variantOption(
        QStringLiteral("variant"),
        QStringLiteral("Firmware variant, v1.3 (10 kHz steps) or v1.2 (100 kHz steps); default %1.").arg(o.variant.name),
        QStringLiteral("V"));
    const QList<QCommandLineOption> all{help,    version, port,   json,    csv,     timeout,  listen,    duration,
                                        output,  reconnect, current, pulse, freq, trigger, dryRun, verify,
                                        tolerance, variantOption};
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
        {QStringLiteral("status"), {QStringLiteral("port"), QStringLiteral("json"), QStringLiteral("timeout")}},
        {QStringLiteral("monitor"),
         {QStringLiteral("port"), QStringLiteral("json"), QStringLiteral("csv"), QStringLiteral("duration"),
          QStringLiteral("output"), QStringLiteral("reconnect")}},
        {QStringLiteral("set"),
         {QStringLiteral("port"), QStringLiteral("current"), QStringLiteral("pulse"), QStringLiteral("freq"),
          QStringLiteral("trigger"), QStringLiteral("dry-run"), QStringLiteral("verify"), QStringLiteral("timeout"),
          QStringLiteral("tolerance")}},
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

    if (parser.isSet(variantOption) && !ctl::variantByName(parser.value(variantOption), o.variant))
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

    o.set = {parser.value(current), parser.value(pulse), parser.value(freq), parser.value(trigger)};
    for (const QCommandLineOption *value : {&current, &pulse, &freq, &trigger})
        if (parser.isSet(*value) && parser.value(*value).trimmed().isEmpty())
            return usage(QStringLiteral("--%1: empty value").arg(value->names().last()));
    o.dryRun = parser.isSet(dryRun);
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
    Out out(stdout);
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < 4; ++i)
            line += row[i].leftJustified(widths[i] + 2);
        out.line(line + row[4]);
    }
    return ctl::Ok;
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
        std::unique_ptr<PortLink> link;
        ctl::Tally tally;
        ctl::OpenFailure failure{ctl::Ok, QString()};
        QString lost;
    };
    std::vector<Watch> watches(size_t(names.size()));
    QElapsedTimer clock;
    for (int i = 0; i < names.size(); ++i) {
        Watch &w = watches[size_t(i)];
        w.link = std::make_unique<PortLink>(names[i]);
        if (!w.link->open(QIODevice::ReadOnly, w.failure))
            continue;
        QObject::connect(w.link.get(), &PortLink::frame, [&w, &clock] {
            const qint64 now = clock.elapsed();
            if (w.tally.frames++ == 0)
                w.tally.firstMs = now;
            w.tally.lastMs = now;
        });
        QObject::connect(w.link.get(), &PortLink::noise, [&w](int bytes) { w.tally.skippedBytes += bytes; });
        QObject::connect(w.link.get(), &PortLink::lost, [&w](const QString &reason) { w.lost = reason; });
    }
    clock.start();
    QTimer::singleShot(int(o.listenMs), &app, &QCoreApplication::quit);
    app.exec();   // a stop signal ends the listening early; what came is reported
    const qint64 listened = clock.elapsed();

    Out out(stdout);
    bool found = false;
    int firstFailure = ctl::Ok;
    bool allFailed = true;
    for (Watch &w : watches) {
        const QString name = printableName(w.link->name());
        if (w.failure.code != ctl::Ok) {
            out.line(QStringLiteral("%1  cannot open: %2").arg(name, w.failure.reason));
            if (firstFailure == ctl::Ok)
                firstFailure = w.failure.code;
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

int status(QCoreApplication &app, const Options &o)
{
    PortLink link(o.port);
    ctl::OpenFailure failure{ctl::Ok, QString()};
    if (!link.open(QIODevice::ReadOnly, failure))
        return portError(o.port, failure);
    Out out(stdout);
    int outcome = -1;
    qint64 noise = 0;
    QObject::connect(&link, &PortLink::frame, [&](const laser::Reading &r) {
        if (outcome != -1)
            return;   // more frames of the same read
        const QString now = ctl::now();
        out.line(o.format == Format::Json ? ctl::jsonLine(ctl::statusJson(now, r))
                                          : ctl::statusBlock(printableName(o.port), now, r));
        outcome = ctl::Ok;
        app.quit();
    });
    QObject::connect(&link, &PortLink::noise, [&](int bytes) { noise += bytes; });
    QObject::connect(&link, &PortLink::lost, [&](const QString &reason) {
        complain(QStringLiteral("%1: link lost (%2)").arg(printableName(o.port), reason));
        outcome = ctl::LinkLost;
        app.quit();
    });
    QTimer::singleShot(int(o.timeoutMs), &app, [&] {
        outcome = ctl::NoLaser;
        app.quit();
    });
    app.exec();
    if (outcome == -1 || outcome == ctl::NoLaser) {
        complain(QStringLiteral("%1: no valid status frame %2%3")
                     .arg(printableName(o.port),
                          outcome == -1 ? QStringLiteral("before the stop signal")
                                        : QStringLiteral("within %1 s").arg(secondsText(o.timeoutMs)),
                          noise ? QStringLiteral(" (%1 bytes of noise)").arg(noise) : QString()));
        return ctl::NoLaser;
    }
    return out.finish() ? outcome : int(ctl::Failed);
}

int monitor(QCoreApplication &app, const Options &o)
{
    PortLink link(o.port);
    ctl::OpenFailure failure{ctl::Ok, QString()};
    if (!link.open(QIODevice::ReadOnly, failure))
        return portError(o.port, failure);
    std::FILE *file = stdout;
    if (!o.output.isEmpty()) {
        file = std::fopen(QFile::encodeName(o.output).constData(), "w");
        if (!file) {
            complain(QStringLiteral("%1: cannot write (%2)").arg(o.output, QString::fromLocal8Bit(std::strerror(errno))));
            return ctl::Failed;
        }
    }
    Out out(file);
    const QString port = printableName(o.port);
    if (o.format == Format::Csv) {
        const QString program = QStringLiteral("laserctl %1").arg(QStringLiteral(LASERCTL_VERSION));
        for (const QString &line : laser::csv::header(program, o.variant.name, o.port, QDateTime::currentDateTimeUtc()))
            out.line(line);
    }
    auto event = [&](LinkEvent kind, const QString &detail) {
        switch (o.format) {
        case Format::Text: out.line(ctl::eventText(ctl::now(), kind, detail)); break;
        case Format::Json: out.line(ctl::jsonLine(ctl::eventJson(ctl::now(), kind, detail))); break;
        case Format::Csv: out.line(laser::csv::eventRow(QDateTime::currentDateTimeUtc(), kind, detail)); break;
        }
    };

    int outcome = -1;
    QElapsedTimer clock;
    clock.start();
    laser::StaleRule rule;
    rule.start(clock.elapsed());
    bool stale = false;
    // Wakes when the silence would pass the limit, not on every frame.
    QTimer staleCheck;
    staleCheck.setSingleShot(true);
    auto arm = [&] { staleCheck.start(int(std::max<qint64>(0, rule.limitMs() - rule.ageMs(clock.elapsed())) + 1)); };
    QObject::connect(&staleCheck, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (!rule.isStale(now))
            return arm();
        stale = true;
        event(LinkEvent::Stale, QStringLiteral("no status frame for %1 s").arg(secondsText(rule.ageMs(now))));
    });
    QObject::connect(&link, &PortLink::frame, [&](const laser::Reading &r) {
        const qint64 now = clock.elapsed();
        if (stale) {
            stale = false;
            event(LinkEvent::Recovered, QStringLiteral("status frames again after %1 s").arg(secondsText(rule.ageMs(now))));
        }
        rule.frame(now);
        switch (o.format) {
        case Format::Text: out.line(ctl::statusText(ctl::now(), r)); break;
        case Format::Json: out.line(ctl::jsonLine(ctl::statusJson(ctl::now(), r))); break;
        case Format::Csv: out.line(laser::csv::statusRow(QDateTime::currentDateTimeUtc(), r)); break;
        }
        if (!staleCheck.isActive())
            arm();
    });

    QTimer retry;
    retry.setInterval(kReconnectIntervalMs);
    QObject::connect(&link, &PortLink::lost, [&](const QString &reason) {
        staleCheck.stop();
        stale = false;
        event(LinkEvent::Lost, QStringLiteral("%1: %2").arg(port, reason));
        if (!o.reconnect) {
            complain(QStringLiteral("%1: link lost (%2)").arg(port, reason));
            outcome = ctl::LinkLost;
            app.quit();
            return;
        }
        complain(QStringLiteral("%1: link lost (%2); waiting for the port to come back").arg(port, reason));
        retry.start();
    });
    QObject::connect(&retry, &QTimer::timeout, [&] {
        ctl::OpenFailure ignored{ctl::Ok, QString()};
        if (!link.open(QIODevice::ReadOnly, ignored))
            return;
        retry.stop();
        event(LinkEvent::Open, QStringLiteral("%1: reopened").arg(port));
        rule.start(clock.elapsed());
        arm();
    });
    if (o.durationMs > 0)
        QTimer::singleShot(int(o.durationMs), &app, [&] {
            outcome = ctl::Ok;
            app.quit();
        });
    arm();
    app.exec();   // ends with the duration, a stop signal or a lost link
    link.close();
    if (!out.finish()) {
        complain(QStringLiteral("%1: writing failed (%2)")
                     .arg(o.output.isEmpty() ? QStringLiteral("stdout") : o.output,
                          QString::fromLocal8Bit(std::strerror(errno))));
        return ctl::Failed;
    }
    return outcome == -1 ? int(ctl::Ok) : outcome;
}

int set(QCoreApplication &app, const Options &o)
{
    ctl::Command command;
    const QString error = ctl::buildCommand(o.set, o.variant, command);
    if (!error.isEmpty()) {
        complain(error);
        return ctl::Usage;
    }
    const QByteArray frame = ctl::commandFrame(command);
    Out out(stdout);
    for (const QString &note : command.truncations)
        out.line(QStringLiteral("note: ") + note);
    const laser::Setpoints &s = command.effective;
    const QString values = QStringLiteral("current %1 A  pulse %2 ns  frequency %3 kHz  trigger %4  (%5)")
                               .arg(QString::number(s.currentA, 'f', 2), QString::number(s.pulseNs, 'f', 2))
                               .arg(s.freqKHz)
                               .arg(s.externalTrigger ? QStringLiteral("external") : QStringLiteral("internal"),
                                    o.variant.name);
    if (o.dryRun) {
        out.line(QStringLiteral("frame (dry run, not sent): ") + ctl::hex(frame));
        out.line(values);
        return out.finish() ? int(ctl::Ok) : int(ctl::Failed);
    }

    PortLink link(o.port);
    ctl::OpenFailure failure{ctl::Ok, QString()};
    if (!link.open(QIODevice::ReadWrite, failure))
        return portError(o.port, failure);
    const QString port = printableName(o.port);
    const QString writeError = link.writeAll(frame, kWriteTimeoutMs);
    if (!writeError.isEmpty()) {
        complain(QStringLiteral("%1: %2").arg(port, writeError));
        return ctl::Failed;
    }
    out.line(QStringLiteral("sent to %1: %2").arg(port, ctl::hex(frame)));
    out.line(values);
    if (!o.verify)
        return out.finish() ? int(ctl::Ok) : int(ctl::Failed);

    // The laser needs time to ramp its pump; take the first frame that
    // agrees, or judge the last one when the time is up.
    bool any = false, agreed = false;
    QString lost;
    laser::Reading last;
    QObject::connect(&link, &PortLink::frame, [&](const laser::Reading &r) {
        if (agreed)
            return;
        any = true;
        last = r;
        const ctl::Verdict v = ctl::judge(s, r, o.toleranceA);
        if (v.triggerMatches && v.currentClose) {
            agreed = true;
            app.quit();
        }
    });
    QObject::connect(&link, &PortLink::lost, [&](const QString &reason) {
        lost = reason;
        app.quit();
    });
    QTimer::singleShot(int(o.timeoutMs), &app, &QCoreApplication::quit);
    app.exec();
    link.close();
    if (!lost.isEmpty()) {
        complain(QStringLiteral("%1: link lost while verifying (%2)").arg(port, lost));
        return ctl::LinkLost;
    }
    if (!any) {
        complain(QStringLiteral("%1: no status frame within %2 s to verify against").arg(port, secondsText(o.timeoutMs)));
        return ctl::NoLaser;
    }
    for (const QString &line : ctl::verdictLines(s, last, ctl::judge(s, last, o.toleranceA), o.toleranceA))
        out.line(line);
    if (!out.finish())
        return ctl::Failed;
    return agreed ? int(ctl::Ok) : int(ctl::VerifyMismatch);
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
    return set(app, o);
}
