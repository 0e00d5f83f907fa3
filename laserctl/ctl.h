#pragma once

// laserctl's decisions and texts, apart from ports and the event loop, so the
// tests call them directly.

#include "firmware.h"
#include "portsession.h"
#include "reading.h"
#include "workingpoint.h"
#include "words.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>


namespace ctl {

enum Exit {
    Ok = 0,
    Failed = 1,          // writing the frame or the output file failed, other open errors
    Usage = 2,           // bad option, value or range
    NoLaser = 3,         // no valid status frame in time
    PortMissing = 4,
    PortPermission = 5,
    PortBusy = 6,
    NotSerial = 7,
    LinkLost = 8,
    VerifyMismatch = 9,  // the laser reports another trigger mode or current
    LaserFault = 10,     // status: the laser reports a fault
};

// The table for --help and the README, one "  N  meaning" line per code.
QString exitCodeTable();

using laser::Variant;
using laser::words::hex;

// What `set` sends: the values as given (empty for the panel's default).
struct SetRequest {
    QString current, pulse, freq, trigger;
};
// The whole steps a command carries and what they mean.
struct Command {
    int currentSteps = 0;
    int pulseSteps = laser::kPulseInitialSteps;
    int freqSteps = 0;
    bool externalTrigger = false;
    laser::Setpoints effective;
    // One line for each given value that a step boundary cut short.
    QStringList truncations;
};
// Empty on success, else the message for a usage error (with the range).
QString buildCommand(const SetRequest &request, const Variant &variant, Command &out);
// Fills what the request leaves out from a remembered working point; returns
// the names of the values taken (current, pulse, frequency, trigger).
QStringList fillFromRecord(SetRequest &request, const laser::WorkingPoint &point);
QByteArray commandFrame(const Command &command);
laser::Command toCommand(const Command &command);

// The exit code for a port that did not open.
Exit exitFor(const laser::OpenFailure &failure);

// Now as the record writes it (laser::csv::isoTime).
QString now();

// Output lines of status frames and link events; `time` from now().
QString statusText(const QString &time, const laser::Reading &r);
QString statusBlock(const QString &port, const QString &time, const laser::Reading &r);
QJsonObject statusJson(const QString &time, const laser::Reading &r);
QString eventText(const QString &time, laser::LinkEvent event, const QString &detail);
QJsonObject eventJson(const QString &time, laser::LinkEvent event, const QString &detail);
QString jsonLine(const QJsonObject &object);

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
Verdict judge(const laser::Setpoints &set, const laser::Reading &reading, double toleranceA);
QStringList verdictLines(const laser::Setpoints &set, const laser::Reading &reading,
                         const Verdict &verdict, double toleranceA);

} // namespace ctl
