// The window as it stands after construction.
#include "probe.h"
#include "variant.h"

#include <QAbstractItemModel>
#include <QCompleter>
#include <QMetaMethod>
#include <QSerialPortInfo>
#include <QtTest>

#include <tuple>

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void slotTable()
    {
        const QMetaObject &mo = MainWindow::staticMetaObject;
        QStringList declared;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            declared << mo.method(i).methodSignature() + (mo.method(i).methodType() == QMetaMethod::Slot ? "" : " (not a slot)");
        QCOMPARE(declared, QStringList({
            "onTimerOut()", "receiveData(QByteArray)", "on_portnun_edit_selectionChanged()",
            "on_portnun_edit_textChanged(QString)", "on_portopen_button_clicked()", "on_stop_button_clicked()",
            "on_start_button_clicked()", "on_edit_current_in_textChanged(QString)",
            "on_scroll_current_valueChanged(int)", "on_edit_pw_in_textChanged(QString)",
            "on_scroll_pw_valueChanged(int)", "on_edit_ifreq_in_textChanged(QString)",
            "on_scroll_ifreq_valueChanged(int)", "on_button_current_in_clicked()", "on_button_close_clicked()",
            "on_button_touchOff_clicked()", "on_comboBox_button_touchOff_currentIndexChanged(int)"}));
    }

    // A slot run while the form is built would log (the pulse-width slot does)
    // or move a member away from the constructor's value.
    void initialState()
    {
        static QStringList debugLines;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
            if (type == QtDebugMsg)
                debugLines << msg;
        });
        MainWindow w;
        qInstallMessageHandler(previous);
        QCOMPARE(debugLines, QStringList());

        MainWindowProbe p(w);
        QCOMPARE(p.portName(), QStringLiteral("COM1"));
        QVERIFY(!p.serialPort() && !p.serialWorker() && !p.refreshTimer() && p.statusBytes().empty());
        QCOMPARE(std::make_tuple(p.timerStopped(), p.statusFlags(), p.triggerReadback(), p.temperatureReadback(), p.currentReadback()),
                 std::make_tuple(0, 3, 0, 0, 0.0));
        QCOMPARE(std::make_tuple(p.ifreqSetting(), p.temperatureSetting(), p.pwSetting(), p.currentSetting(), p.triggerMode()),
                 std::make_tuple(variant::kFreqInitialSteps, 34, 20.0, 0.0, false));
        QCOMPARE(p.calibSlope(), (std::vector<double>{15.8, 15.9, 15.9, 15.9}));
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("Message"));
        QCOMPARE(w.windowTitle(), QString::fromUtf8(variant::kTitle));
    }

    // Only Open until a port is open.
    void buttonsAfterConstruction()
    {
        MainWindow w;
        QCOMPARE(MainWindowProbe(w).buttons(), QStringLiteral("100000")); // Open Close Start Stop Send ChangeMode
    }

    void openWithoutEditingUsesCom1()
    {
        MainWindow w;
        MainWindowProbe p(w);
        p.ui().portopen_button->click();
        QCOMPARE(p.serialPort() ? p.serialPort()->portName() : QString(), QStringLiteral("COM1"));
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败"));
    }

    void portFieldOffersSerialPorts()
    {
        MainWindow w;
        MainWindowProbe p(w);
        QCompleter *completer = p.ui().portnun_edit->completer();
        QVERIFY(completer);
        QStringList offered, present;
        for (int row = 0; row < completer->model()->rowCount(); ++row)
            offered << completer->model()->index(row, 0).data().toString();
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            present << info.systemLocation();
        present.sort();
        QCOMPARE(offered, present);
        // Still free text: any name reaches the next Open.
        p.ui().portnun_edit->setText(QStringLiteral(" /dev/ttyUSB9 "));
        QCOMPARE(p.portName(), QStringLiteral(" /dev/ttyUSB9 "));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
