#include "language.h"
#include "mainwindow.h"
#include "quitsignals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
