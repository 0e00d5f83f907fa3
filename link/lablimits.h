#pragma once

#include "workingpoint.h"

#include <QString>
#include <QStringList>

#include <climits>

// What a lab allows its lasers: the panel, laserctl and the script API all
// take the limits from here.
namespace laser {

// One limit in force, in scroll-bar steps, and where it came from: a file
// and its section, or (empty) the firmware's range.
struct Limit {
    int steps;
    QString from;
};

// Why a working point may not be sent: the kind and its numbers, for a front
// end to say in its own language, and the same in English for logs and scripts.
struct Refusal {
    enum Kind { None, Unreadable, CurrentMax, Pulse, Freq, Rise };
    Kind kind = None;
    QStringList args;   // in the order the English text gives them
    QString text;
    bool isEmpty() const { return kind == None; }
};

struct Limits {
    int kHzPerStep = 0;
    Limit currentMax{kCurrentMaxSteps, {}};
    Limit pulseMin{kPulseMinSteps, {}};
    Limit pulseMax{kPulseMaxSteps, {}};
    Limit freqMin{kFreqMinSteps, {}};
    Limit freqMax{INT_MAX, {}};
    Limit riseMax{kCurrentMaxSteps, {}};   // the most one command may raise the current
    // The files that could not be read, and why: while there are any, the
    // pump current may not rise.
    QString damaged;

    // Why `point` may not be sent after `last` (the working point last sent;
    // null when none is known, as if from 0 A); empty when it may.
    Refusal refusal(const WorkingPoint &point, const WorkingPoint *last) const;
    // Whether the working point last sent matters to refusal().
    bool riseCounts() const { return !damaged.isEmpty() || riseMax.steps < kCurrentMaxSteps; }
    // `point` with each value moved into its range (the rise aside).
    WorkingPoint cut(const WorkingPoint &point) const;
};

// The files limits are read from, those an administrator writes first
// (XDG_CONFIG_DIRS, /etc/xdg by default), the user's own last.
QStringList limitsFiles();

// The limits for the laser under `key` (workingPointKey(); empty: only those
// for all lasers) in `variant`'s steps. Each file may only narrow what the
// firmware and the files before it allow; in a file, the laser's own section
// goes before [all].
Limits loadLimits(const QString &key, const Variant &variant, const QStringList &files = limitsFiles());

} // namespace laser
