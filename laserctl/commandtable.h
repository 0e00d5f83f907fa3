#pragma once

// The commands and options laserctl takes, in one place: the parser, --help
// and the bash completion (through --completion-words) all read them here.

#include "cli.h"

#include <QVector>

namespace cli {

struct Command {
    QString name;
    QString synopsis;   // what follows the name in --help
    QString help;
    int (*run)(QCoreApplication &app, const Options &o);
    bool needsPort = false;
    bool takesPorts = false;   // ports as arguments
    bool takesFile = false;    // one file as its argument
};

struct Option {
    QStringList names;      // as --help shows them, the short one first
    QString value;          // the value's name; empty for a flag
    QString help;
    QStringList commands;   // the commands it applies to; none: it stands alone
    QString completion;     // its value's words, or <ports> or <files>
    bool hidden = false;
};

const QVector<Command> &commands();
const Command *command(const QString &name);
const QVector<Option> &options();

// --help's text above the options: the commands.
QString description();
// What the completion offers: "first WORD...", "after COMMAND WORD..." and
// "value OPTION WORD..." lines, for laserctl --completion-words.
QString completionWords();

} // namespace cli
