#include "trendwindow.h"

#include "alarms.h"
#include "alarmshade.h"
#include "gapcurve.h"
#include "recordingreader.h"
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
#include <qwt_plot_renderer.h>
#include <qwt_scale_widget.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
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
    auto *bar = new QMenuBar(this);
    QMenu *file = bar->addMenu(QCoreApplication::translate("MainWindow", "文件(&F)"));
    file->addAction(QCoreApplication::translate("MainWindow", "打开记录…"), this, &TrendWindow::chooseRecording,
                    QKeySequence(Qt::CTRL + Qt::Key_O));
    file->addAction(QCoreApplication::translate("MainWindow", "导出图像…"), this, &TrendWindow::chooseImageFile,
                    QKeySequence(Qt::CTRL + Qt::Key_S));
    layout->setMenuBar(bar);
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

    const std::pair<Alarms::Condition, QColor> shading[] = {{Alarms::PumpSupply, QColor(214, 39, 40, 50)},
                                                            {Alarms::TecLock, QColor(148, 103, 189, 50)},
                                                            {Alarms::PumpTemperature, QColor(255, 187, 120, 90)}};
    for (const auto &[condition, color] : shading) {
        shades << new AlarmShade(data, Alarms::name(condition), color);
        shades.last()->attach(chart);
    }

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

TrendWindow::TrendWindow(std::unique_ptr<TrendData> opened, const QString &path, QWidget *parent)
    : TrendWindow(*opened, parent)
{
    owned = std::move(opened);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("%1 — %2").arg(QFileInfo(path).fileName(), windowTitle()));
    setSource(QDir::toNativeSeparators(path));
    recordingLine()->setText(QDir::toNativeSeparators(path));
    setSpan(WholeSession);
}

TrendWindow::~TrendWindow() = default;

TrendWindow *TrendWindow::openRecording(const QString &path, QWidget *parent, QString *error)
{
    // Room for every row: none is shorter than 32 bytes.
    auto opened = std::make_unique<TrendData>(std::max<std::size_t>(GapSeries::kDefaultCapacity,
                                                                     std::size_t(QFileInfo(path).size() / 32)));
    QProgressDialog progress(QCoreApplication::translate("MainWindow", "正在打开 %1…").arg(QFileInfo(path).fileName()),
                             QCoreApplication::translate("MainWindow", "取消"), 0, 1000, parent);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(300);
    const record::ReadResult read = record::readRecording(
        path, [&opened](const record::Source &row) { opened->row(row); },
        [&progress](qint64 done, qint64 size) {
            progress.setValue(size > 0 ? int(done * 1000 / size) : 0);
            return !progress.wasCanceled();
        });
    if (read.outcome != record::ReadResult::Read) {
        const QString shown = QDir::toNativeSeparators(path);
        if (error)
            *error = read.outcome == record::ReadResult::Cancelled ? QString()
                     : read.outcome == record::ReadResult::NotARecording
                         ? QCoreApplication::translate("MainWindow", "%1 不是记录文件：%2").arg(shown, read.why)
                         : QCoreApplication::translate("MainWindow", "无法读取 %1：%2").arg(shown, read.why);
        return nullptr;
    }
    auto *window = new TrendWindow(std::move(opened), path, parent);
    if (read.skipped > 0)
        window->recordingLine()->setText(
            QCoreApplication::translate("MainWindow", "%1 — 跳过 %2 行：第 %3 行")
                .arg(QDir::toNativeSeparators(path))
                .arg(read.skipped)
                .arg(read.skippedLineList()));
    return window;
}

void TrendWindow::chooseRecording()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QCoreApplication::translate("MainWindow", "打开记录"),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QCoreApplication::translate("MainWindow", "记录 (*.csv *.jsonl *.json *.txt);;所有文件 (*)"), nullptr,
        QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    QString error;
    // Beside this one, under the same window, so it closes with the panel.
    if (TrendWindow *opened = openRecording(path, parentWidget(), &error))
        opened->show();
    else if (!error.isEmpty())
        QMessageBox::warning(this, QCoreApplication::translate("MainWindow", "打开记录"), error);
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
        // A live session shows a minute at least; a recording, all of itself.
        if (span() == WholeSession)
            start = std::min(data.isEmpty() ? end : data.firstTime(), end - (owned ? 1000.0 : kMinuteMs));
        chart->setAxisScale(QwtPlot::xBottom, start, end);
        // The scale engine needs the new interval before the value axes can fit it.
        chart->updateAxes();
    }
    const QwtScaleDiv &time = chart->axisScaleDiv(QwtPlot::xBottom);
    fitValueAxes(time.lowerBound(), time.upperBound());
    for (AlarmShade *shade : shades)
        shade->update();
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
    const QString format = QFileInfo(path).suffix().toLower();
    const QString shown = QDir::toNativeSeparators(path);
    bool saved = false;
    if (format == QLatin1String("png") || format == QLatin1String("svg") || format == QLatin1String("pdf")) {
        QFile::remove(path);
        const QwtText title = chart->title();
        auto at = [](double ms) {
            return QDateTime::fromMSecsSinceEpoch(qint64(ms)).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        };
        chart->setTitle(QStringLiteral("%1   %2 – %3").arg(sourceName, at(viewStart()), at(viewEnd())).trimmed());
        QwtPlotRenderer renderer;
        // 240 × 140 mm at 150 dpi: about 1400 × 830 pixels.
        renderer.renderDocument(chart, path, format, QSizeF(240, 140), 150);
        chart->setTitle(title);
        saved = QFileInfo(path).size() > 0;
    }
    emit message(saved ? QCoreApplication::translate("MainWindow", "图像已保存：%1").arg(shown)
                       : QCoreApplication::translate("MainWindow", "图像保存失败：%1").arg(shown));
    return saved;
}

void TrendWindow::chooseImageFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString suggested = QDir(folder).filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("'laserpanel-trend-'yyyyMMdd-HHmmss'.png'")));
    const QStringList filters{QCoreApplication::translate("MainWindow", "PNG images (*.png)"),
                              QCoreApplication::translate("MainWindow", "SVG 矢量图 (*.svg)"),
                              QCoreApplication::translate("MainWindow", "PDF 文档 (*.pdf)")};
    QString filter = filters.first();
    QString path = QFileDialog::getSaveFileName(this, QCoreApplication::translate("MainWindow", "Save image"),
                                                suggested, filters.join(QStringLiteral(";;")), &filter,
                                                QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    // The suffix the chosen filter names, unless the name has one of the three.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") && suffix != QLatin1String("pdf"))
        path += QLatin1Char('.') + filter.section(QStringLiteral("*."), 1).chopped(1);
    saveImage(path);
}

} // namespace laser
