#pragma once

#include "monitorview.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QwtPlot;

namespace laser {

class GapCurve;
class TrendData;

// Pump current and temperature against local time on two axes, with the
// current setpoint as a step line. The view follows the newest data over the
// chosen span until the operator pans (drag) or zooms (wheel) the time axis;
// "Follow" takes it up again. The y axes always fit what is in view.
class TrendWindow : public MonitorView
{
    Q_OBJECT

public:
    enum Span { OneMinute, FiveMinutes, ThirtyMinutes, WholeSession };

    explicit TrendWindow(const TrendData &data, QWidget *parent = nullptr);

    Span span() const;
    void setSpan(Span span);
    bool isFollowing() const;
    void setFollowing(bool follow);

    // Fits the view to the data and redraws; a timer does this while shown.
    void refresh();
    bool saveImage(const QString &path);

    QwtPlot *plot() const { return chart; }
    // The time in view, ms since the epoch.
    double viewStart() const;
    double viewEnd() const;

protected:
    void refreshView() override { refresh(); }

private:
    void chooseImageFile();
    void fitValueAxes(double t0, double t1);

    const TrendData &data;
    QwtPlot *chart;
    GapCurve *current;
    GapCurve *temperature;
    GapCurve *setpoint;
    QComboBox *spanBox;
    QCheckBox *followBox;
    bool adjusting = false;  // the window, not the operator, is moving the time axis
};

} // namespace laser
