#include "language.h"
#include "mainwindow.h"
#include "quitsignals.h"
#include "timezone.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Every status frame gets a local time stamp; read the zone once.
    platform::pinTimeZone();
    QApplication app(argc, argv);
    // A stop signal ends the event loop, so the window closes its port.
    platform::quitOnSignals(app);
    language::install(app);
    int result = 0;
    {
        MainWindow window;
        window.show();
        result = app.exec();
    }
    return result;
}
