// A child process for tst_platform: what the platform functions do in a
// process of their own (signals, a controlling terminal).
//   platform-probe quit            catch the stop signals, run the event loop
//   platform-probe stuck           catch them, then never return to the loop
//   platform-probe ctty TTY NAME…  take TTY as controlling terminal, print
//                                  one refusal line per NAME
#include "portguard.h"
#include "quitsignals.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("ctty")) {
        // A new session has no terminal; the first one it opens becomes its own.
        if (::setsid() < 0 || ::open(QFile::encodeName(args.value(1)).constData(), O_RDWR) < 0)
            return 11;
        for (const QString &name : args.mid(2))
            std::printf("%s\n", qPrintable(platform::portRefusal(name)));
        return 0;
    }
    if (!platform::quitOnSignals(app))
        return 10;
    std::puts("ready");
    std::fflush(stdout);
    while (args.value(0) == QLatin1String("stuck"))
        ::pause();
    return app.exec();
}
