#pragma once

#include <QtGlobal>

namespace platform {

// Who is at the other end of a connected local socket.
struct Peer {
    bool known = false;     // false where the system does not say
    bool sameUser = false;  // the peer runs as this process's user
    qint64 pid = -1;
};

// Asks the system about the peer of a connected local socket's descriptor.
Peer localPeer(qintptr descriptor);

} // namespace platform
