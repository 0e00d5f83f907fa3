#include "alarmshade.h"

#include "alarms.h"
#include "trenddata.h"

#include <qwt_graphic.h>
#include <qwt_scale_map.h>

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>

namespace laser {

QString alarmText(const QString &condition)
{
    if (condition == Alarms::name(Alarms::PumpSupply))
        return QCoreApplication::translate("MainWindow", "泵浦电源异常");
    if (condition == Alarms::name(Alarms::TecLock))
        return QCoreApplication::translate("MainWindow", "TEC 失锁");
    if (condition == Alarms::name(Alarms::PumpTemperature))
        return QCoreApplication::translate("MainWindow", "泵浦温度超出标定范围");
    return condition;
}

AlarmShade::AlarmShade(const TrendData &data, const QString &condition, const QColor &color)
    : QwtPlotItem(QCoreApplication::translate("MainWindow", "报警：%1").arg(alarmText(condition))), data(data),
      condition(condition), color(color)
{
    // Under the lines, above the grid.
    setZ(5);
    setLegendIconSize(QSize(16, 10));
}

void AlarmShade::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &,
                      const QRectF &canvasRect) const
{
    const double left = xMap.s1(), right = xMap.s2();
    for (const record::Period &p : data.alarms()) {
        const double end = p.end < 0 ? data.latestTime() : double(p.end);
        if (p.what != condition || end < left || double(p.start) > right)
            continue;
        // At least a pixel wide, so a short alarm in a long view still shows.
        const double x0 = xMap.transform(std::max(left, double(p.start)));
        const double x1 = std::max(xMap.transform(std::min(right, end)), x0 + 1.0);
        painter->fillRect(QRectF(x0, canvasRect.top(), x1 - x0, canvasRect.height()), color);
    }
}

QwtGraphic AlarmShade::legendIcon(int, const QSizeF &size) const
{
    QwtGraphic icon;
    icon.setDefaultSize(size);
    QPainter painter(&icon);
    painter.fillRect(QRectF(QPointF(), size), color);
    return icon;
}

void AlarmShade::update()
{
    const auto &periods = data.alarms();
    const bool seen = std::any_of(periods.begin(), periods.end(),
                                  [this](const record::Period &p) { return p.what == condition; });
    if (testItemAttribute(Legend) != seen)
        setItemAttribute(Legend, seen);
}

} // namespace laser
