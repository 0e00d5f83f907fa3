#include "cli.h"

#include "commandtable.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cli {

namespace {

int usage(const QString &text)
{
    complain(text + QStringLiteral(" (see laserctl --help)"));
    return ctl::Usage;
}

bool seconds(const QString &text, qint64 &ms)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > kMaxSeconds)
        return false;
    ms = std::max<qint64>(1, std::llround(s * 1000));
    return true;
}

// Each reads its part of the command line into `o`: -1 to go on, else the
// exit code.

int readCommand(const QCommandLineParser &parser, Options &o)
{
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    o.command = args.first();
    const Command *command = cli::command(o.command);
    if (!command)
        return usage(QStringLiteral("unknown command '%1'").arg(o.command));
    for (const Option &option : options())
        if (parser.isSet(option.names.last()) && !option.commands.contains(o.command))
            return usage(QStringLiteral("%1: --%2 does not apply").arg(o.command, option.names.last()));
    if (command->takesPorts)
        o.ports = args.mid(1);
    else if (command->takesFile && args.size() != 2)
        return usage(QStringLiteral("%1 needs one file").arg(o.command));
    else if (command->takesFile)
        o.file = args[1];
    else if (args.size() > 1)
        return usage(QStringLiteral("%1: unexpected argument '%2'").arg(o.command, args[1]));

    // The last of two values would win unseen; neither is sure to be meant.
    const QStringList given = parser.optionNames();
    for (const Option &option : options()) {
        const auto times = std::count_if(given.begin(), given.end(),
                                         [&](const QString &n) { return option.names.contains(n); });
        if (times > 1)
            return usage(QStringLiteral("--%1 given more than once").arg(option.names.last()));
    }
    return -1;
}

int readLink(const QCommandLineParser &parser, Options &o)
{
    auto given = [&](const char *name) { return parser.isSet(QLatin1String(name)); };
    auto value = [&](const char *name) { return parser.value(QLatin1String(name)); };
    o.variantGiven = given("variant");
    if (o.variantGiven && !(o.variant = laser::variantNamed(value("variant"))))
        return usage(QStringLiteral("--variant: '%1' is neither v1.3 nor v1.2").arg(value("variant")));
    o.port = value("port");
    if (given("port") && o.port.isEmpty())
        return usage(QStringLiteral("-p: empty port name"));
    if (command(o.command)->needsPort && o.port.isEmpty() && !given("dry-run"))
        return usage(QStringLiteral("%1 needs a port: -p PORT").arg(o.command));
    if (given("json") && given("csv"))
        return usage(QStringLiteral("--json and --csv: choose one"));
    o.format = given("json") ? Format::Json : given("csv") ? Format::Csv : Format::Text;

    for (const auto &[name, ms] : {std::pair{"timeout", &o.timeoutMs}, {"listen", &o.listenMs}, {"duration", &o.durationMs}})
        if (given(name) && !seconds(value(name), *ms))
            return usage(QStringLiteral("--%1: '%2' is not a number of seconds above 0").arg(QLatin1String(name), value(name)));
    if (o.timeoutMs < 0)
        o.timeoutMs = o.command == QLatin1String("set") ? kVerifyTimeoutMs : kStatusTimeoutMs;
    if (given("output") && value("output").isEmpty())
        return usage(QStringLiteral("--output: empty file name"));
    o.output = value("output");
    if (given("last")) {
        bool ok = false;
        o.count = value("last").toInt(&ok);
        if (!ok || o.count < 1)
            return usage(QStringLiteral("--last: '%1' is not a whole number above 0").arg(value("last")));
    }
    o.reconnect = given("reconnect");
    o.noPanel = given("no-panel");
    return -1;
}

int readSet(const QCommandLineParser &parser, Options &o)
{
    auto given = [&](const char *name) { return parser.isSet(QLatin1String(name)); };
    auto value = [&](const char *name) { return parser.value(QLatin1String(name)); };
    o.set = {value("current"), value("pulse"), value("freq"), value("trigger")};
    for (const char *name : {"current", "pulse", "freq", "trigger"})
        if (given(name) && value(name).trimmed().isEmpty())
            return usage(QStringLiteral("--%1: empty value").arg(QLatin1String(name)));
    o.dryRun = given("dry-run");
    o.defaults = given("defaults");
    o.verify = given("verify");
    if (o.dryRun && o.verify)
        return usage(QStringLiteral("--verify needs the frame sent; drop --dry-run"));
    if (given("tolerance")) {
        bool ok = false;
        o.toleranceA = value("tolerance").toDouble(&ok);
        if (!ok || !std::isfinite(o.toleranceA) || o.toleranceA < 0)
            return usage(QStringLiteral("--tolerance: '%1' is not a current of 0 A or more").arg(value("tolerance")));
    }
    return -1;
}

// What stands alone: --help, --version, --completion-words. True when one was given.
bool printAlone(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("help")))
        std::fputs(qPrintable(parser.helpText() + QStringLiteral("\nExit codes:\n") + ctl::exitCodeTable()), stdout);
    else if (parser.isSet(QStringLiteral("version")))
        std::printf("laserctl %s\n", LASERCTL_VERSION);
    else if (parser.isSet(QStringLiteral("completion-words")))
        std::fputs(qPrintable(completionWords()), stdout);
    else
        return false;
    return true;
}
} // namespace

int parse(const QCoreApplication &app, Options &o)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    QStringList names;
    for (const Command &command : commands())
        names << command.name;
    const QString last = names.takeLast();
    parser.addPositionalArgument(QStringLiteral("command"), names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last,
                                 QStringLiteral("command [PORT...]"));
    for (const Option &option : options()) {
        QCommandLineOption added(option.names, option.help, option.value);
        if (option.hidden)
            added.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(added);
    }
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (printAlone(parser))
        return ctl::Ok;
    int code = readCommand(parser, o);
    if (code < 0)
        code = readLink(parser, o);
    return code < 0 ? readSet(parser, o) : code;
}

} // namespace cli
