#include "cli.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cli {

namespace {
bool seconds(const QString &text, qint64 &ms)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > kMaxSeconds)
        return false;
    ms = std::max<qint64>(1, std::llround(s * 1000));
    return true;
}
} // namespace

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

} // namespace cli
