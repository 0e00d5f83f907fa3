#include "trendmodule.h"

#include "panellibrary.h"

namespace laser {

MonitorView *createTrendWindow(const TrendData &data, QWidget *parent, QString *why)
{
    const auto create = reinterpret_cast<LaserpanelTrendWindow>(
        panelLibraryEntry("laserpanel-trend", LASERPANEL_TREND_WINDOW, why));
    return create ? create(data, parent) : nullptr;
}

} // namespace laser
