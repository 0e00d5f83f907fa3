#pragma once

#include <qwt_plot_item.h>

#include <QColor>
#include <QString>

namespace laser {

class TrendData;

// The condition as the operator reads it: "泵浦电源异常" for pump_supply and so on.
QString alarmText(const QString &condition);

// The periods one alarm condition was active, shaded over the whole height
// of the plot; in the legend, under the condition's name, once it has been.
class AlarmShade : public QwtPlotItem
{
public:
    AlarmShade(const TrendData &data, const QString &condition, const QColor &color);

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem + 1; }
    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;
    QwtGraphic legendIcon(int index, const QSizeF &size) const override;
    // Puts the item in the legend once its condition has a period.
    void update();

private:
    const TrendData &data;
    QString condition;
    QColor color;
};

} // namespace laser
