// The entry point of the trend library, which monitor/trendmodule.cpp loads.
#include "trendmodule.h"
#include "trendwindow.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT laser::MonitorView *laserpanel_trend_window(const laser::TrendData &data, QWidget *parent)
{
    return new laser::TrendWindow(data, parent);
}

// The type the loader casts to, held to the definition above.
static_assert(std::is_same_v<decltype(&laserpanel_trend_window), LaserpanelTrendWindow>);
