#pragma once

#include "monitorview.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QwtPlot;

namespace laser {

class AlarmShade;
class GapCurve;
class TrendData;

// Pump current and temperature against local time on two axes, with the
// current setpoint as a step line. The view follows the newest data over the
// chosen span until the operator pans (drag) or zooms (wheel) the time axis;
// "Follow" takes it up again. The y axes always fit what is in view. Alarms
// are shaded. Its menu opens a recording in a window of its own (Ctrl+O) and
// exports the plot as PNG, SVG or PDF (Ctrl+S).
class TrendWindow : public MonitorView
{
    Q_OBJECT

public:
    enum Span { OneMinute, FiveMinutes, ThirtyMinutes, WholeSession };

    explicit TrendWindow(const TrendData &data, QWidget *parent = nullptr);
    ~TrendWindow() override;

    // A recording read into a new window titled with the file, with a
    // progress dialog that can cancel; null, with the reason in `error`
    // (empty when cancelled), when it cannot be shown.
    static TrendWindow *openRecording(const QString &path, QWidget *parent, QString *error);

    // The port or file an exported picture names.
    void setSource(const QString &source) { sourceName = source; }

    Span span() const;
    void setSpan(Span span);
    bool isFollowing() const;
    void setFollowing(bool follow);

    // Fits the view to the data and redraws; a timer does this while shown.
    void refresh();
    // PNG, SVG or PDF by the file's suffix, with the port or file and the
    // time in view as its title.
    bool saveImage(const QString &path);

    QwtPlot *plot() const { return chart; }
    const TrendData &trendData() const { return data; }
    // The time in view, ms since the epoch.
    double viewStart() const;
    double viewEnd() const;

protected:
    void refreshView() override { refresh(); }

private:
    TrendWindow(std::unique_ptr<TrendData> data, const QString &path, QWidget *parent);
    void chooseImageFile();
    void chooseRecording();
    void fitValueAxes(double t0, double t1);

    std::unique_ptr<TrendData> owned;   // an opened recording's
    const TrendData &data;
    QString sourceName;
    QwtPlot *chart;
    GapCurve *current;
    GapCurve *temperature;
    GapCurve *setpoint;
    QList<AlarmShade *> shades;
    QComboBox *spanBox;
    QCheckBox *followBox;
    bool adjusting = false;  // the window, not the operator, is moving the time axis
};

} // namespace laser
