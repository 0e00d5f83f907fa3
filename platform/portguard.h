#pragma once

#include <QString>

namespace platform {

// Why a serial port name must not be opened, in a few English words ("not a
// character device"), or an empty string when it may be. The name is the one
// given to QSerialPort (a bare name means the device of that name in /dev).
// Refused: names with a control character; anything that exists but is not a
// character device; devices that are not serial lines (the memory devices
// such as /dev/null); and the terminals that belong to the user rather than a
// laser: the controlling terminal and those of the standard streams, /dev/tty,
// /dev/console, /dev/ptmx and the virtual consoles. Devices are compared by
// number, so links and other names for them are refused too. A name that does
// not exist is let through for the open to report.
QString portRefusal(const QString &name);

// The same rules for the device an opened port's handle leads to, so that a
// name swapped between the check above and the open cannot slip past.
QString handleRefusal(qintptr handle);

} // namespace platform
