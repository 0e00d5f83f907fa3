// The window as it stands after construction.
#include "probe.h"
#include "variant.h"

#include <QAbstractItemModel>
#include <QCompleter>
#include <QMetaMethod>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QtTest>

namespace {
QStringList debugLines;
void collect(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtDebugMsg)
        debugLines << msg;
}
} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void slotTable();
    void initialState();
    void buttonsAfterConstruction_data();
    void buttonsAfterConstruction();
    void openWithoutEditingUsesCom1();
    void portFieldOffersSerialPorts();
};

void WindowTest::slotTable()
{
    const QStringList expected{
        "onTimerOut()", "receiveData(QByteArray)", "on_portnun_edit_selectionChanged()",
        "on_portnun_edit_textChanged(QString)", "on_portopen_button_clicked()",
        "on_stop_button_clicked()", "on_start_button_clicked()",
        "on_edit_current_in_textChanged(QString)", "on_scroll_current_valueChanged(int)",
        "on_edit_pw_in_textChanged(QString)", "on_scroll_pw_valueChanged(int)",
        "on_edit_ifreq_in_textChanged(QString)", "on_scroll_ifreq_valueChanged(int)",
        "on_button_current_in_clicked()", "on_button_close_clicked()",
        "on_button_touchOff_clicked()", "on_comboBox_button_touchOff_currentIndexChanged(int)",
    };
    const QMetaObject &mo = MainWindow::staticMetaObject;
    QCOMPARE(mo.className(), "MainWindow");
    QStringList declared;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        QCOMPARE(mo.method(i).methodType(), QMetaMethod::Slot);
        declared << QString::fromLatin1(mo.method(i).methodSignature());
    }
    QCOMPARE(declared, expected);
}

void WindowTest::initialState()
{
    // A slot run while the form is built would log (the pulse-width slot does)
    // or move a member away from the constructor's value.
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    MainWindow w;
    qInstallMessageHandler(previous);
    QCOMPARE(debugLines, QStringList());

    MainWindowProbe p(w);
    QCOMPARE(p.portName(), QStringLiteral("COM1"));
    QVERIFY(!p.serialPort() && !p.serialWorker() && !p.refreshTimer());
    QCOMPARE(p.timerStopped(), 0);
    QVERIFY(p.statusBytes().empty());
    QCOMPARE(p.statusFlags(), 3);
    QCOMPARE(p.triggerReadback(), 0);
    QCOMPARE(p.temperatureReadback(), 0);
    QCOMPARE(p.currentReadback(), 0.0);
    QCOMPARE(p.ifreqSetting(), variant::kFreqInitialSteps);
    QCOMPARE(p.temperatureSetting(), 34);
    QCOMPARE(p.pwSetting(), 20.0);
    QCOMPARE(p.currentSetting(), 0.0);
    QCOMPARE(p.triggerMode(), false);
    QCOMPARE(p.calibSlope(), (std::vector<double>{15.8, 15.9, 15.9, 15.9}));
    QCOMPARE(p.calibIntercept(), (std::vector<double>{808.0, 807.0, 807.0, 807.0}));
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("Message"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8(variant::kTitle));
}

void WindowTest::buttonsAfterConstruction_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Open") << "portopen_button" << true;
    QTest::newRow("Close") << "button_close" << false;
    QTest::newRow("Start") << "start_button" << false;
    QTest::newRow("Stop") << "stop_button" << false;
    QTest::newRow("Send") << "button_current_in" << false;
    QTest::newRow("Change Mode") << "button_touchOff" << false;
}

void WindowTest::buttonsAfterConstruction()
{
    QFETCH(QString, button);
    QFETCH(bool, enabled);
    MainWindow w;
    auto *b = w.findChild<QPushButton *>(button);
    QVERIFY(b);
    QCOMPARE(b->isEnabled(), enabled);
}

void WindowTest::openWithoutEditingUsesCom1()
{
    MainWindow w;
    MainWindowProbe p(w);
    p.ui().portopen_button->click();
    QVERIFY(p.serialPort());
    QCOMPARE(p.serialPort()->portName(), QStringLiteral("COM1"));
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败"));
}

void WindowTest::portFieldOffersSerialPorts()
{
    MainWindow w;
    MainWindowProbe p(w);
    QCompleter *completer = p.ui().portnun_edit->completer();
    QVERIFY(completer);
    QStringList offered;
    for (int row = 0; row < completer->model()->rowCount(); ++row)
        offered << completer->model()->index(row, 0).data().toString();
    QStringList present;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        present << info.systemLocation();
    present.sort();
    QCOMPARE(offered, present);

    // Still free text: any name reaches the next Open.
    p.ui().portnun_edit->setText(QStringLiteral(" /dev/ttyUSB9 "));
    QCOMPARE(p.portName(), QStringLiteral(" /dev/ttyUSB9 "));
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
