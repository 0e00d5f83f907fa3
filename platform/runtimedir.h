#pragma once

#include <QString>

namespace platform {

// The folder for the panel's local sockets: $XDG_RUNTIME_DIR, else
// <temp>/laserpanel-<uid>, made with mode 0700 when missing and `create`
// (a client only looks; a missing folder holds no panel). Refused (empty,
// with the reason in `error`) when it is not a folder of this user's that
// nobody else may enter, so that no other user can plant or reach a socket.
// Where sockets need no folder (named pipes), empty with no error.
QString privateRuntimeDir(bool create, QString *error);

} // namespace platform
