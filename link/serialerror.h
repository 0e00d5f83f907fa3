#pragma once

#include <QSerialPort>

namespace laser {

// Errors after which the open port is of no more use. Qt may report one
// hang-up as ResourceError or ReadError, so anything but the harmless three
// counts.
inline bool endsLink(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        return false;
    default:
        return true;
    }
}

} // namespace laser
