#pragma once

#include "gapseries.h"

#include <qwt_plot_curve.h>

#include <QPolygonF>
#include <QVector>

#include <functional>
#include <limits>

class QwtScaleMap;

namespace laser {

// The lines that draw the points of `series` whose time falls in xMap's range
// (and one neighbour on each side, so lines reach the edges), in paint-device
// coordinates: one polyline per segment, never joined across a gap. Points that
// share a pixel column are reduced to the first, lowest, highest and last, so a
// day of data draws in a few thousand points. `steps` holds each value until
// the next point; an open last segment is held up to `holdUntil` when given.
QVector<QPolygonF> tracePolylines(const GapSeries &series, const QwtScaleMap &xMap,
                                  const QwtScaleMap &yMap, bool steps = false,
                                  double holdUntil = std::numeric_limits<double>::quiet_NaN());

// A Qwt curve drawn from a GapSeries with tracePolylines, so it keeps Qwt's
// legend, pen and axes but skips gaps and scales to a day of data.
class GapCurve : public QwtPlotCurve
{
public:
    GapCurve(const QString &title, const GapSeries &series, bool steps = false);

    // Where an open last segment ends, asked at each draw (steps only).
    void setHoldUntil(std::function<double()> until) { holdUntil = std::move(until); }

protected:
    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                    const QRectF &canvasRect, int from, int to) const override;

private:
    const GapSeries &series;
    bool steps;
    std::function<double()> holdUntil;
};

} // namespace laser
