#pragma once

// What laserctl's commands share: the options, where lines go, and how
// failures are said.

#include "ctl.h"
#include "recorder.h"
#include "portsession.h"
#include "setcommand.h"
#include "words.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace cli {

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

void complain(const QString &text);
// The name as it may be shown: control characters as \xNN.
QString printableName(const QString &name);
// Says why the port did not open; returns the exit code.
int portError(const QString &port, const laser::PortFailure &failure);

enum class Format { Text, Json, Csv };

struct Options {
    QString command;
    QStringList ports;    // detect
    QString file;         // summary
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
    int count = 10;       // history -n
    const laser::Variant *variant = &laser::buildVariant();
};

// Fills `o`; -1 to go on, else the exit code (help, version, usage errors).
int parse(const QCoreApplication &app, Options &o);

// The commands, one file each; each returns the exit code.
int ports();
int detect(QCoreApplication &app, const Options &o);
int status(QCoreApplication &app, const Options &o);
int monitor(QCoreApplication &app, const Options &o);
int set(QCoreApplication &app, const Options &o);
int panels();
int history(QCoreApplication &app, const Options &o);
int summary(QCoreApplication &app, const Options &o);
int limits(QCoreApplication &app, const Options &o);

} // namespace cli
