// The entry point of the script server's library, which the panel loads.
#include "panelserver.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT laser::PanelServer *laserpanel_panel_server(laser::PortSession *session,
                                                                      const laser::PanelServer::Identity &identity,
                                                                      QObject *parent)
{
    return new laser::PanelServer(session, identity, parent);
}

// The type the panel casts to, held to the definition above.
static_assert(std::is_same_v<decltype(&laserpanel_panel_server), LaserpanelPanelServer>);
