// The panel's form alone on a bare QMainWindow, for scripts/bench-startup.sh:
// what its widgets and texts cost without any of the panel's code. Prints
// when its event loop first runs (µs since the epoch) and leaves.
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    Ui::MainWindow form;
    form.setupUi(&window);
    window.show();
    QTimer::singleShot(0, &app, [&app] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
        app.quit();
    });
    return app.exec();
}
