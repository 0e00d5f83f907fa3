#pragma once

#include <QByteArray>
#include <QMetaType>

namespace laser {

// One status frame in operator units.
struct Reading {
    double currentA = 0.0;
    int temperatureC = 0;        // kTemperatureOutOfRange outside the calibration
    bool externalTrigger = false;
    bool pumpSupplyNormal = false;
    bool tecLocked = false;
};

// Decodes a status payload with the fixed calibration. False, and `out`
// untouched, for a payload too short to hold a status.
bool readingFromPayload(const QByteArray &payload, Reading &out);

// What happens to a connection, as the monitor and the record see it.
enum class LinkEvent {
    Open,
    Close,
    Lost,
    Stale,
    Recovered,
    RecordingStarted,
    RecordingStopped,
    Dropped,   // commands still waiting when the port closed
    Alarm,          // the laser reports a fault; detail names the condition
    AlarmCleared,
    WorkingPoint,   // the panel restored a port's last working point, or could not
    OpenFailed,     // the panel's Open failed; detail: the port and why
    Waiting,        // after a loss, for the device to come back
    Reopened,       // it came back and the port is open again
};

} // namespace laser

Q_DECLARE_METATYPE(laser::Reading)
Q_DECLARE_METATYPE(laser::LinkEvent)
