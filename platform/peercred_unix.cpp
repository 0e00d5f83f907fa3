#include "peercred.h"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace platform {

Peer localPeer(qintptr descriptor)
{
    Peer peer;
    ucred cred{};
    socklen_t size = sizeof cred;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof cred)
        return peer;
    peer.known = true;
    peer.sameUser = cred.uid == ::geteuid();
    peer.pid = cred.pid;
    return peer;
}

} // namespace platform
