#pragma once

#include <QString>

class QWidget;

namespace laser {

class MonitorView;
class TrendData;

// The trend window, from a library of its own (with Qwt behind it) that loads
// when the first trend is shown: loaded with the panel, the two took a tenth
// of its start-up. Null, with the reason in *why, when the library does not load.
MonitorView *createTrendWindow(const TrendData &data, QWidget *parent, QString *why);

} // namespace laser

// What the library gives; the window's own code stays in the program.
using LaserpanelTrendWindow = laser::MonitorView *(*)(const laser::TrendData &data, QWidget *parent);
#define LASERPANEL_TREND_WINDOW "laserpanel_trend_window"
