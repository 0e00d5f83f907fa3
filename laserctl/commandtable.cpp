#include "commandtable.h"

#include "ctl.h"

namespace cli {

namespace {
int runPorts(QCoreApplication &, const Options &)
{
    return ports();
}

int runPanels(QCoreApplication &, const Options &)
{
    return panels();
}

QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList everyCommand()
{
    QStringList names;
    for (const Command &c : commands())
        names << c.name;
    return names;
}

QString variantNames()
{
    QStringList names;
    for (const laser::Variant &v : laser::kVariants)
        names << QLatin1String(v.name);
    return names.join(QLatin1Char(' '));
}

Option option(const char *names, const char *value, const QString &help, const QString &commands,
              const QString &completion = QString())
{
    return {words(QLatin1String(names)), QLatin1String(value), help, words(commands), completion};
}
} // namespace

const QVector<Command> &commands()
{
    static const laser::Variant &v = laser::buildVariant();
    static const QVector<Command> table{
        {"ports", "", "the serial ports the system lists", runPorts},
        {"detect", "[PORT...]", "listen, sending nothing, for status frames on the ports given, or on every listed port",
         detect, false, true},
        {"status", "-p PORT", "the next status frame, decoded", status, true},
        {"monitor", "-p PORT", "every status frame and link event until stopped", monitor, true},
        {"set", "-p PORT [VALUES]",
         QStringLiteral("send one command frame; what is not given keeps the working point last sent on the port (by "
                        "the panel or laserctl), or without one, or with --defaults, the panel's default (0.00 A, "
                        "5.00 ns, %1 kHz, internal)")
             .arg(v.initialSteps * v.kHzPerStep),
         set, true},
        {"panels", "", "the ports that running panels serve to scripts", runPanels},
        {"history", "-p PORT",
         "the last working points sent on the port (-n, default 10), newest first, with when and by whom (the "
         "panel, laserctl or a script)",
         history, true},
        {"summary", "FILE",
         "what a recording (CSV or JSON lines) holds: its span, status rows, current and temperature, stale periods, "
         "alarms and commands",
         summary, false, false, true},
        {"limits", "[-p PORT]",
         "the limits in force on the port's laser, or without -p those for all lasers, and the file each came from",
         limits},
    };
    return table;
}

const Command *command(const QString &name)
{
    for (const Command &c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

const QVector<Option> &options()
{
    // In the order --help lists them.
    static const QVector<Option> table{
        option("h help", "", "This text.", ""),
        option("version", "", "The program's version.", ""),
        option("p port", "PORT", "The serial port, e.g. /dev/ttyUSB0.", "status monitor set history limits", "<ports>"),
        option("json", "", "status, monitor, history: one JSON object a line; summary, limits: one object.",
               "status monitor history summary limits"),
        option("csv", "", "monitor: the panel's CSV recording format.", "monitor"),
        option("timeout", "S",
               "status: wait this long for a frame (default 3); set --verify: for the laser to follow (default 10).",
               "status set"),
        option("listen", "S", "detect: listen this long on each port (default 1.5).", "detect"),
        option("duration", "S", "monitor: stop after this long (default: until stopped).", "monitor"),
        option("output", "FILE", "monitor: write to FILE, not stdout.", "monitor", "<files>"),
        option("reconnect", "", "monitor: when the link is lost, wait for the port to come back.", "monitor"),
        option("current", "A", "set: pump current, 0 to 7.00 A.", "set"),
        option("pulse", "NS", "set: seed pulse width, 3.00 to 15.00 ns.", "set"),
        option("freq", "KHZ", "set: seed frequency in whole kHz, one step to 1000 kHz.", "set"),
        option("trigger", "MODE", "set: internal or external.", "set",
               laser::words::trigger(false) + QLatin1Char(' ') + laser::words::trigger(true)),
        option("dry-run", "", "set: print the frame, send nothing.", "set"),
        option("defaults", "",
               "set: what is not given takes the panel's default, not the working point last sent on the port.", "set"),
        option("verify", "", "set: then check the laser's status frames against the setpoints.", "set"),
        option("tolerance", "A", "set --verify: how far the pump current may be off (default 0.10).", "set"),
        option("n last", "N", "history: how many working points (default 10).", "history"),
        option("no-panel", "", "status, monitor, set: open the port itself, never through the panel.",
               "status monitor set"),
        option("variant", "V",
               QStringLiteral("Firmware variant, v1.3 (10 kHz steps) or v1.2 (100 kHz steps); default %1.")
                   .arg(QLatin1String(laser::buildVariant().name)),
               everyCommand().join(QLatin1Char(' ')), variantNames()),
        {{"completion-words"}, "", "What the bash completion offers.", {}, {}, true},
    };
    return table;
}

QString description()
{
    QString list;
    for (const Command &c : commands())
        list += ctl::helpEntry(QStringLiteral("  ") + (c.name + QLatin1Char(' ') + c.synopsis).trimmed(), c.help, 24);
    return QStringLiteral("Watch and set the pulsed fibre laser from a shell, with the panel's link code.\n\n"
                          "Commands:\n%1\n"
                          "While the panel holds the port, status, monitor and set go through it (unless\n"
                          "--no-panel).")
        .arg(list);
}

QString completionWords()
{
    auto dashed = [](const QString &name) { return QLatin1String(name.size() == 1 ? "-" : "--") + name; };
    QStringList first = everyCommand(), lines;
    for (const Command &c : commands()) {
        QStringList offered{QStringLiteral("after"), c.name};
        if (c.takesPorts)
            offered << QStringLiteral("<ports>");
        if (c.takesFile)
            offered << QStringLiteral("<files>");
        for (const Option &o : options())
            for (const QString &name : o.names)
                if (o.commands.contains(c.name))
                    offered << dashed(name);
        lines << offered.join(QLatin1Char(' '));
    }
    for (const Option &o : options()) {
        for (const QString &name : o.names) {
            // Before a command: what stands alone, and what every command takes.
            if (!o.hidden && (o.commands.isEmpty() || o.commands == everyCommand()))
                first << dashed(name);
            if (!o.value.isEmpty())
                lines << QStringLiteral("value %1 %2").arg(dashed(name), o.completion).trimmed();
        }
    }
    lines.prepend(QStringLiteral("first ") + first.join(QLatin1Char(' ')));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace cli
