// Trend redraw over a day of data: 24 h at 5 frames/s (432 000 readings per
// line), a stale spell every hour and a setpoint change every 10 minutes, in a
// 1280x720 window on the offscreen platform. One iteration is what the
// window's refresh timer sets off: fit the axes to the view, then the paint.
#include "reading.h"
#include "trenddata.h"
#include "trendwindow.h"

#include <benchmark/benchmark.h>

#include <qwt_plot.h>

#include <QApplication>
#include <QDateTime>

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<laser::TrendData> day;

void fillDay()
{
    day = std::make_unique<laser::TrendData>();
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - 24 * 3600 * 1000;
    laser::Reading r;
    double target = 2.0;
    day->event(start, laser::LinkEvent::Open);
    for (qint64 i = 0; i < 24 * 3600 * 5; ++i) {
        const qint64 when = start + i * 200;
        // A stale spell every hour, so every line has gaps to skip.
        if (i % (3600 * 5) == 1800 * 5)
            day->event(when, laser::LinkEvent::Stale);
        if (i % (600 * 5) == 0) {
            target = 1.0 + double(i / (600 * 5) % 7) * 0.5;
            day->command(when, laser::WorkingPoint{false, int(target * 5), 34, 20, 30, 10});
        }
        r.currentA = target + 0.03 * std::sin(double(i) * 0.7);
        r.temperatureC = 25 + int(i % 13 == 0);
        day->status(when, r);
    }
}

void redraw(benchmark::State &state)
{
    laser::TrendWindow window(*day);
    window.resize(1280, 720);
    window.show();
    window.setSpan(static_cast<laser::TrendWindow::Span>(state.range(0)));
    QCoreApplication::processEvents();
    // refresh() schedules the paint; the event loop runs it.
    for (auto _ : state) {
        window.refresh();
        QCoreApplication::processEvents();
    }
    state.counters["points"] = double(day->current().size());
}

} // namespace

BENCHMARK(redraw)->ArgName("span")->Arg(laser::TrendWindow::OneMinute)->Arg(laser::TrendWindow::ThirtyMinutes)
    ->Arg(laser::TrendWindow::WholeSession)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fillDay();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
