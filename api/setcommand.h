#pragma once

#include "firmware.h"
#include "workingpoint.h"

#include <QString>
#include <QStringList>

// A working point asked for in operator units, checked against the panel's
// ranges and cut to its steps: laserctl's set and the panel's local socket
// take values the same way.
namespace laser {

// The values as given; an empty one keeps the point the request starts from.
struct SetRequest {
    QString current, pulse, freq, trigger;
};

// A request applied: the point to send and one note for each given value a
// step boundary cut short; or, on a refusal, why, with the range.
struct SetResult {
    QString error;
    WorkingPoint point;
    QStringList notes;
};

// Applies `request` to `start` in `variant`'s steps. Values are named with
// `prefix` before their name ("--" for laserctl's options).
SetResult applySet(const SetRequest &request, const WorkingPoint &start, const Variant &variant,
                   const QString &prefix = QStringLiteral("--"));

} // namespace laser
