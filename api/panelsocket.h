#pragma once

#include <QString>
#include <QStringList>

// Where the panel serves the port it holds, so that a script finds it from
// the port's name alone.
namespace laser::panel {

// "laserpanel-" and the first 16 hex digits of the SHA-256 of the port's
// canonical path in UTF-8 (links resolved; as given when it does not exist),
// so that /dev/ttyUSB0, ttyUSB0 and a link to it meet at one socket.
QString socketFileName(const QString &port);

// The name to listen on or connect to: the file in the user's private runtime
// folder (a bare pipe name where there are no folders), which `serving` makes
// when missing. Empty, with the reason, when that folder is unsafe or missing.
QString socketName(const QString &port, QString *error = nullptr, bool serving = false);

// The names of every panel socket in that folder, live or left behind;
// empty, with the reason, when the folder is unsafe or missing.
QStringList socketNames(QString *error = nullptr);

} // namespace laser::panel
