#include "language.h"
#include "mainwindow.h"
#include "panelicon.h"
#include "quitsignals.h"
#include "timezone.h"
#include "trendwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Every status frame gets a local time stamp; read the zone once.
    platform::pinTimeZone();
    QApplication app(argc, argv);
    // A stop signal ends the event loop, so the window closes its port.
    platform::quitOnSignals(app);
    language::install(app);
    // Every window of the panel: the control window, the trend and the link log.
    QApplication::setWindowIcon(panelIcon());
    int result = 0;
    {
        MainWindow window;
        window.show();
        // --open-recording FILE: the recording in a trend window of its own;
        // the link is left as it is.
        QCommandLineParser parser;
        const QCommandLineOption open(QStringLiteral("open-recording"), QString(), QStringLiteral("FILE"));
        parser.addOption(open);
        parser.parse(QApplication::arguments());
        if (parser.isSet(open)) {
            QString error;
            if (auto *trend = laser::TrendWindow::openRecording(parser.value(open), &window, &error)) {
                trend->show();
            } else if (!error.isEmpty()) {
                std::fprintf(stderr, "laserpanel: %s\n", qPrintable(error));
                QMessageBox::warning(&window, QCoreApplication::translate("MainWindow", "打开记录"), error);
            }
        }
        // For scripts/bench-startup.sh: when start-up is over, in µs since the epoch.
        if (qEnvironmentVariableIsSet("LASERPANEL_EXIT_AT_START"))
            QTimer::singleShot(0, &app, [&app] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
                app.quit();
            });
        result = app.exec();
    }
    return result;
}
