// A panel in a process of its own for tst_hardening: the window of the
// program, its port opened on the name given, and the program's signal
// handling, so that a test can signal it as an operator's desktop would.
//   panel-probe PORT
#include "probe.h"
#include "quitsignals.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    platform::quitOnSignals(app);
    int result = 0;
    {
        MainWindow window;
        MainWindowProbe p(window);
        p.open(QString::fromLocal8Bit(argv[argc - 1]));
        std::printf("%s\n", qPrintable(p.ui().edit_message->text()));
        std::fflush(stdout);
        result = app.exec();
    }
    return result;
}
