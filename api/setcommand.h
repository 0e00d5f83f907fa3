#pragma once

#include "firmware.h"
#include "portsession.h"
#include "reading.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A working point asked for in operator units, checked against the panel's
// ranges and cut to its steps: laserctl's set and the panel's local socket
// take values the same way.
namespace laser {

// The values as given; an empty one keeps what the command starts from.
struct SetRequest {
    QString current, pulse, freq, trigger;
};

// The whole steps a command carries and what they mean.
struct SetCommand {
    int currentSteps = 0;
    int pulseSteps = kPulseInitialSteps;
    int freqSteps = 0;
    bool externalTrigger = false;
    Setpoints effective;
    // One line for each given value that a step boundary cut short.
    QStringList truncations;
};

// What the panel sends before anything was set: 0.00 A, 5.00 ns, the
// variant's first frequency, internal trigger.
SetCommand defaultCommand(const Variant &variant);

// Applies `request` to `command` (the defaults, or the panel's setpoints now).
// Empty on success, else why a value was refused, with the range; values are
// named with `prefix` before their name ("--" for laserctl's options).
// `command` is left as it was on a refusal.
QString buildCommand(const SetRequest &request, const Variant &variant, SetCommand &command,
                     const QString &prefix = QStringLiteral("--"));

Command toCommand(const SetCommand &command);
QByteArray commandFrame(const SetCommand &command);

} // namespace laser
