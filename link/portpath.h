#pragma once

#include <QString>

namespace laser {

// QSerialPort's own rule: a name that is not a path is a device in /dev.
QString portPath(const QString &name);

} // namespace laser
