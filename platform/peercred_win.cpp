#include "peercred.h"

namespace platform {

// The pipe's access list already admits the user alone.
Peer localPeer(qintptr)
{
    Peer peer;
    peer.sameUser = true;
    return peer;
}

} // namespace platform
