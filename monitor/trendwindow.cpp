#include "trendwindow.h"

#include "gapcurve.h"
#include "trenddata.h"

#include <qwt_date.h>
#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_panner.h>
#include <qwt_scale_widget.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace laser {

namespace {
constexpr double kMinuteMs = 60.0 * 1000.0;
constexpr int kRefreshMs = 500;

double spanMs(TrendWindow::Span span)
{
    switch (span) {
    case TrendWindow::OneMinute: return kMinuteMs;
    case TrendWindow::FiveMinutes: return 5 * kMinuteMs;
    case TrendWindow::ThirtyMinutes: return 30 * kMinuteMs;
    case TrendWindow::WholeSession: break;
    }
    return 0.0;
}
} // namespace

TrendWindow::TrendWindow(const TrendData &data, QWidget *parent)
    : MonitorView(kRefreshMs, parent), data(data), chart(new QwtPlot(this)),
      spanBox(new QComboBox(this)), followBox(new QCheckBox(QCoreApplication::translate("MainWindow", "Follow"), this))
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Trend"));
    resize(960, 560);

    spanBox->addItems({QCoreApplication::translate("MainWindow", "1 min"),
                       QCoreApplication::translate("MainWindow", "5 min"),
                       QCoreApplication::translate("MainWindow", "30 min"),
                       QCoreApplication::translate("MainWindow", "Whole session")});
    spanBox->setCurrentIndex(FiveMinutes);
    followBox->setChecked(true);
    followBox->setToolTip(
        QCoreApplication::translate("MainWindow", "Keep the newest data in view; panning or zooming pauses this"));
    auto *save = new QPushButton(QCoreApplication::translate("MainWindow", "Save image…"), this);

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QCoreApplication::translate("MainWindow", "Span:"), this));
    controls->addWidget(spanBox);
    controls->addWidget(followBox);
    controls->addStretch(1);
    controls->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(chart, 1);
    layout->addWidget(recordingLine());

    chart->setCanvasBackground(Qt::white);
    chart->setAxisTitle(QwtPlot::yLeft, QCoreApplication::translate("MainWindow", "Pump current (A)"));
    chart->enableAxis(QwtPlot::yRight);
    chart->setAxisTitle(QwtPlot::yRight, QCoreApplication::translate("MainWindow", "Pump temperature (°C)"));
    auto *timeDraw = new QwtDateScaleDraw(Qt::LocalTime);
    timeDraw->setDateFormat(QwtDate::Millisecond, QStringLiteral("hh:mm:ss.zzz"));
    timeDraw->setDateFormat(QwtDate::Second, QStringLiteral("hh:mm:ss"));
    timeDraw->setDateFormat(QwtDate::Minute, QStringLiteral("hh:mm"));
    timeDraw->setDateFormat(QwtDate::Hour, QStringLiteral("hh:mm"));
    timeDraw->setDateFormat(QwtDate::Day, QStringLiteral("ddd dd MMM"));
    chart->setAxisScaleDraw(QwtPlot::xBottom, timeDraw);
    chart->setAxisScaleEngine(QwtPlot::xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    chart->setAxisTitle(QwtPlot::xBottom, QCoreApplication::translate("MainWindow", "Local time"));
    chart->insertLegend(new QwtLegend, QwtPlot::BottomLegend);

    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(220, 220, 220), 0.0, Qt::SolidLine);
    grid->attach(chart);

    current = new GapCurve(QCoreApplication::translate("MainWindow", "Pump current (A)"), data.current());
    current->setPen(QColor(31, 119, 180), 1.0);
    current->attach(chart);
    setpoint = new GapCurve(QCoreApplication::translate("MainWindow", "Current setpoint (A)"), data.setpoint(), true);
    setpoint->setPen(QColor(255, 127, 14), 2.0, Qt::DashLine);
    setpoint->setHoldUntil([&data] { return data.latestTime(); });
    setpoint->attach(chart);
    // Above the setpoint, so a gap in the current shows where the two are equal.
    current->setZ(setpoint->z() + 1);
    temperature = new GapCurve(QCoreApplication::translate("MainWindow", "Pump temperature (°C)"), data.temperature());
    temperature->setPen(QColor(214, 39, 40), 1.0);
    temperature->setYAxis(QwtPlot::yRight);
    temperature->attach(chart);

    // Drag pans and the wheel zooms the time axis only; the value axes fit the view.
    auto *panner = new QwtPlotPanner(chart->canvas());
    panner->setOrientations(Qt::Horizontal);
    auto *magnifier = new QwtPlotMagnifier(chart->canvas());
    magnifier->setAxisEnabled(QwtPlot::yLeft, false);
    magnifier->setAxisEnabled(QwtPlot::yRight, false);
    connect(chart->axisWidget(QwtPlot::xBottom), &QwtScaleWidget::scaleDivChanged, this, [this] {
        if (!adjusting)
            setFollowing(false);
    });

    connect(spanBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        setFollowing(true);
        refresh();
    });
    connect(followBox, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            refresh();
    });
    connect(save, &QPushButton::clicked, this, &TrendWindow::chooseImageFile);
    refresh();
}

TrendWindow::Span TrendWindow::span() const
{
    return static_cast<Span>(spanBox->currentIndex());
}

void TrendWindow::setSpan(Span span)
{
    spanBox->setCurrentIndex(span);
}

bool TrendWindow::isFollowing() const
{
    return followBox->isChecked();
}

void TrendWindow::setFollowing(bool follow)
{
    followBox->setChecked(follow);
}

double TrendWindow::viewStart() const
{
    return chart->axisScaleDiv(QwtPlot::xBottom).lowerBound();
}

double TrendWindow::viewEnd() const
{
    return chart->axisScaleDiv(QwtPlot::xBottom).upperBound();
}

void TrendWindow::refresh()
{
    adjusting = true;
    if (isFollowing()) {
        const double end = data.isEmpty() ? double(QDateTime::currentMSecsSinceEpoch()) : data.latestTime();
        double start = end - spanMs(span());
        if (span() == WholeSession)
            start = std::min(data.isEmpty() ? end : data.firstTime(), end - kMinuteMs);
        chart->setAxisScale(QwtPlot::xBottom, start, end);
        // The scale engine needs the new interval before the value axes can fit it.
        chart->updateAxes();
    }
    const QwtScaleDiv &time = chart->axisScaleDiv(QwtPlot::xBottom);
    fitValueAxes(time.lowerBound(), time.upperBound());
    const QString day =
        QDateTime::fromMSecsSinceEpoch(qint64(time.upperBound())).toString(QStringLiteral("yyyy-MM-dd"));
    chart->setAxisTitle(QwtPlot::xBottom, QCoreApplication::translate("MainWindow", "Local time, %1").arg(day));
    chart->replot();
    adjusting = false;
}

void TrendWindow::fitValueAxes(double t0, double t1)
{
    double lo = 0.0, hi = 1.0, a, b;
    if (data.current().valueRange(t0, t1, a, b))
        lo = std::min(lo, a), hi = std::max(hi, b);
    if (data.setpoint().valueRange(t0, t1, a, b))
        lo = std::min(lo, a), hi = std::max(hi, b);
    chart->setAxisScale(QwtPlot::yLeft, lo, hi * 1.1);

    double tlo = 20.0, thi = 30.0;
    if (data.temperature().valueRange(t0, t1, a, b))
        tlo = std::floor(a) - 2.0, thi = std::ceil(b) + 2.0;
    chart->setAxisScale(QwtPlot::yRight, tlo, thi);
}

bool TrendWindow::saveImage(const QString &path)
{
    const bool saved = chart->grab().save(path, "PNG");
    const QString shown = QDir::toNativeSeparators(path);
    emit message(saved ? QCoreApplication::translate("MainWindow", "图像已保存：%1").arg(shown)
                       : QCoreApplication::translate("MainWindow", "图像保存失败：%1").arg(shown));
    return saved;
}

void TrendWindow::chooseImageFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString suggested = QDir(folder).filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("'laserpanel-trend-'yyyyMMdd-HHmmss'.png'")));
    QString path = QFileDialog::getSaveFileName(this, QCoreApplication::translate("MainWindow", "Save image"),
                                                suggested,
                                                QCoreApplication::translate("MainWindow", "PNG images (*.png)"),
                                                nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    saveImage(path);
}

} // namespace laser
