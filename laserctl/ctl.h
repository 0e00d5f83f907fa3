#pragma once

// laserctl's decisions and texts, apart from ports and the event loop, so the
// tests call them directly.

#include "exitcodes.h"
#include "firmware.h"
#include "portsession.h"
#include "setcommand.h"
#include "reading.h"
#include "workingpointstore.h"
#include "words.h"

#include <QDateTime>
#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace ctl {

using laser::Variant;
using laser::words::hex;

// `term`, then `text` from column `indent` on, wrapped within 79 columns and
// its further lines indented as far: one entry of a list in --help.
QString helpEntry(const QString &term, const QString &text, int indent);

// The exit code for a port that did not open.
Exit exitFor(const laser::PortFailure &failure);

// Now as the record writes it (laser::csv::isoTime).
QString now();

// Output lines of status frames and link events; `time` from now().
QString statusText(const QString &time, const laser::Reading &r);
QString statusBlock(const QString &port, const QString &time, const laser::Reading &r);
// `kind`: laser::csv::eventKind() of the event, or a kind the panel named.
QString eventText(const QString &time, const QString &kind, const QString &detail);
QString commandText(const QString &time, const laser::WorkingPoint &p);

// What one port showed while detect listened.
struct Tally {
    int frames = 0;
    qint64 firstMs = -1;     // times of the first and last frame since listening began
    qint64 lastMs = -1;
    qint64 skippedBytes = 0; // bytes that were not part of a frame
    qint64 listenedMs = 0;
};
// Frames per second: counted between the first and last frame, so the time
// before the first one does not lower it. 0 without a frame.
double frameRate(const Tally &tally);
bool isLaser(const Tally &tally);
QString detectLine(const QString &port, const Tally &tally);

// What set --verify concludes from the last status frame.
struct Verdict {
    bool triggerMatches = false;
    bool currentClose = false;
    double expectedA = 0.0;   // what the readback shows for this setpoint
    double offA = 0.0;
};
Verdict judge(const laser::WorkingPoint &set, const laser::Reading &reading, double toleranceA);
QStringList verdictLines(const laser::WorkingPoint &set, const laser::Reading &reading,
                         const Verdict &verdict, double toleranceA);

} // namespace ctl
