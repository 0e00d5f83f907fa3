// The yardsticks of scripts/bench-startup.sh: a bare QMainWindow and, built
// with WITH_FORM, the panel's form alone on one, without any of the panel's
// code. Each prints when its event loop first runs (µs since the epoch) and
// leaves, as laserpanel does with LASERPANEL_EXIT_AT_START set.
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
#ifdef WITH_FORM
    Ui::MainWindow form;
    form.setupUi(&window);
#endif
    window.show();
    QTimer::singleShot(0, &app, [&app] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
        app.quit();
    });
    return app.exec();
}
