// A panel in a process of its own, its port opened on the name given, with the
// program's signal handling: a test signals it as an operator's desktop would.
//   panel-probe [--remembered] PORT
// --remembered keeps the working points remembered so far and prints the
// setpoints the window shows after Open.
#include "probe.h"
#include "quitsignals.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::quitOnSignals(app);
    const bool remembered = app.arguments().contains(QStringLiteral("--remembered"));
    int result = 0;
    {
        MainWindow window;
        MainWindowProbe p(window);
        const QString port = QString::fromLocal8Bit(argv[argc - 1]);
        if (remembered) {
            p.ui().portnun_edit->setText(port);
            p.ui().portopen_button->click();
        } else {
            p.open(port);
        }
        std::printf("%s\n", qPrintable(p.ui().edit_message->text()));
        if (remembered)
            std::printf("setpoints %s %s %s %d | %s | %s\n", qPrintable(p.ui().edit_current_in->text()),
                        qPrintable(p.ui().edit_pw_in->text()), qPrintable(p.ui().edit_ifreq_in->text()),
                        p.ui().comboBox_button_touchOff->currentIndex(), qPrintable(p.ui().edit_pw_in->toolTip()),
                        qPrintable(p.ui().scroll_current->toolTip().replace('\n', ' ')));
        std::fflush(stdout);
        result = app.exec();
    }
    return result;
}
