// The yardstick of scripts/bench-startup.sh: a bare QMainWindow, shown, that
// prints when its event loop first runs (µs since the epoch) and leaves, as
// laserpanel does with LASERPANEL_EXIT_AT_START set.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    QTimer::singleShot(0, &app, [&app] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
        app.quit();
    });
    return app.exec();
}
