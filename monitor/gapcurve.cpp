#include "gapcurve.h"

#include <qwt_clipper.h>
#include <qwt_painter.h>
#include <qwt_scale_map.h>

#include <QPainter>

#include <cmath>

namespace laser {

namespace {

// The points of one pixel column, reduced to first, lowest, highest, last.
class Column
{
public:
    bool isEmpty() const { return n == 0; }
    long long index() const { return col; }

    void start(long long column) { col = column; n = 0; }

    void add(const QPointF &p)
    {
        if (n == 0) {
            first = lo = hi = p;
            loAt = hiAt = 0;
        } else if (p.y() < lo.y()) {
            lo = p;
            loAt = n;
        } else if (p.y() > hi.y()) {
            hi = p;
            hiAt = n;
        }
        last = p;
        ++n;
    }

    void flushInto(QPolygonF &line)
    {
        if (n == 0)
            return;
        auto put = [&line](const QPointF &p) {
            if (line.isEmpty() || line.last() != p)
                line.append(p);
        };
        put(first);
        put(loAt <= hiAt ? lo : hi);
        put(loAt <= hiAt ? hi : lo);
        put(last);
        n = 0;
    }

private:
    long long col = 0;
    int n = 0;
    QPointF first, last, lo, hi;
    int loAt = 0, hiAt = 0;
};

} // namespace

QVector<QPolygonF> tracePolylines(const GapSeries &series, const QwtScaleMap &xMap,
                                  const QwtScaleMap &yMap, bool steps, double holdUntil)
{
    QVector<QPolygonF> lines;
    if (series.isEmpty())
        return lines;
    const double t0 = std::min(xMap.s1(), xMap.s2());
    const double t1 = std::max(xMap.s1(), xMap.s2());
    std::size_t begin = series.lowerBound(t0);
    if (begin > 0)
        --begin;
    const std::size_t end = std::min(series.size(), series.lowerBound(t1) + 1);

    QPolygonF line;
    Column column;
    double previousY = 0.0;
    auto add = [&](const QPointF &p) {
        const long long col = static_cast<long long>(std::floor(p.x()));
        if (column.isEmpty() || col != column.index()) {
            column.flushInto(line);
            column.start(col);
        }
        column.add(p);
    };
    auto endLine = [&] {
        column.flushInto(line);
        if (!line.isEmpty())
            lines.append(line);
        line.clear();
    };

    // Time runs left to right: the points of one pixel column can be found by
    // time alone, and only four of them need mapping.
    const bool byColumn = !steps && xMap.p2() > xMap.p1() && xMap.s2() > xMap.s1();
    for (std::size_t i = begin; i < end;) {
        const double x = xMap.transform(series.t(i));
        if (i == begin || series.startsSegment(i))
            endLine();
        else if (steps)
            add(QPointF(x, previousY));
        if (!byColumn) {
            previousY = yMap.transform(series.y(i));
            add(QPointF(x, previousY));
            ++i;
            continue;
        }
        const double columnEnd = xMap.invTransform(std::floor(x) + 1.0);
        double first = series.y(i), lo = first, hi = first, last = first;
        bool loFirst = true;
        std::size_t j = i + 1;
        for (; j < end && series.t(j) < columnEnd && !series.startsSegment(j); ++j) {
            last = series.y(j);
            if (last < lo)
                lo = last, loFirst = false;
            else if (last > hi)
                hi = last, loFirst = true;
        }
        for (double y : {first, loFirst ? lo : hi, loFirst ? hi : lo, last})
            add(QPointF(x, yMap.transform(y)));
        previousY = yMap.transform(last);
        i = j;
    }
    if (end == series.size() && series.isOpen() && !std::isnan(holdUntil)
        && holdUntil > series.t(end - 1))
        add(QPointF(xMap.transform(std::min(holdUntil, t1)), previousY));
    endLine();
    return lines;
}

GapCurve::GapCurve(const QString &title, const GapSeries &series, bool steps)
    : QwtPlotCurve(title), series(series), steps(steps)
{
    // The window sets the axes from what is in view; a whole-series bounding
    // box would cost a pass over a day of points per replot.
    setItemAttribute(QwtPlotItem::AutoScale, false);
    setLegendAttribute(QwtPlotCurve::LegendShowLine, true);
    setRenderHint(QwtPlotItem::RenderAntialiased, false);
}

void GapCurve::drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                          const QRectF &canvasRect, int, int) const
{
    const double until = holdUntil ? holdUntil() : std::numeric_limits<double>::quiet_NaN();
    // Neighbours off the canvas may lie far outside it; clip a little wider
    // than the canvas so no line ends visibly at its edge.
    const QRectF clip = canvasRect.adjusted(-2, -2, 2, 2);
    painter->save();
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    for (const QPolygonF &line : tracePolylines(series, xMap, yMap, steps, until)) {
        if (line.size() == 1) {
            // A lone reading between two gaps: a dot, not nothing.
            QwtPainter::drawPoint(painter, line.first());
            continue;
        }
        const QPolygonF clipped = QwtClipper::clipPolygonF(clip, line, false);
        if (clipped.size() > 1)
            QwtPainter::drawPolyline(painter, clipped);
    }
    painter->restore();
}

} // namespace laser
