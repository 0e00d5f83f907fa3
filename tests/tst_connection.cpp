// Opening, closing and losing the port, against real pseudo-terminals.
#include "probe.h"
#include "pty.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <sys/resource.h>

namespace {
// Enabled states as Open Close Start Stop Send ChangeMode, e.g. "010111".
QString buttons(MainWindowProbe &p)
{
    QString s;
    for (QPushButton *b : {p.ui().portopen_button, p.ui().button_close, p.ui().start_button,
                           p.ui().stop_button, p.ui().button_current_in, p.ui().button_touchOff})
        s += b->isEnabled() ? '1' : '0';
    return s;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QByteArray frame(const QByteArray &payload)
{
    return QByteArray::fromHex("a55a") + payload + QByteArray::fromHex("eeff");
}
} // namespace

class ConnectionTest : public QObject
{
    Q_OBJECT

private slots:
    void operations_data();
    void operations();
    void portNameTakesEffectAtNextOpen();
    void workerDeliversEveryFrame();
    void deviceLoss();
    void reopeningReleasesOldObjects();
};

void ConnectionTest::operations_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<bool>("refreshing");

    QTest::newRow("open") << QStringList{"open"} << "串口打开成功" << "010111" << true;
    QTest::newRow("open failure") << QStringList{"openBad"} << "串口打开失败" << "100000" << false;
    QTest::newRow("open failure, retry") << QStringList{"openBad", "open"} << "串口打开成功" << "010111" << true;
    QTest::newRow("stop") << QStringList{"open", "stop"} << "定时器关闭成功" << "011011" << false;
    QTest::newRow("stop, start") << QStringList{"open", "stop", "start"} << "定时器启动成功" << "010111" << true;
    QTest::newRow("start refused") << QStringList{"open", "start"} << "定时器启动失败" << "010111" << true;
    QTest::newRow("close") << QStringList{"open", "close"} << "串口关闭成功" << "100001" << false;
    QTest::newRow("stop, close") << QStringList{"open", "stop", "close"} << "串口关闭成功" << "100001" << false;
    QTest::newRow("open, close, open") << QStringList{"open", "close", "open"} << "串口打开成功" << "010111" << true;
    QTest::newRow("stop, close, open") << QStringList{"open", "stop", "close", "open"} << "串口打开成功" << "010111" << true;
    QTest::newRow("failure after close") << QStringList{"open", "close", "openBad"} << "串口打开失败" << "100001" << false;
    QTest::newRow("nothing open yet") << QStringList{"stop", "start", "close"} << "Message" << "100000" << false;
}

void ConnectionTest::operations()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, message);
    QFETCH(QString, enabled);
    QFETCH(bool, refreshing);

    Pty pty;
    QVERIFY(pty.isValid());
    MainWindow w;
    MainWindowProbe p(w);
    // Slots are called directly: they must be safe whatever the buttons allow.
    const QHash<QString, const char *> slotOf{
        {"open", "on_portopen_button_clicked"}, {"openBad", "on_portopen_button_clicked"},
        {"stop", "on_stop_button_clicked"}, {"start", "on_start_button_clicked"},
        {"close", "on_button_close_clicked"}};
    for (const QString &step : steps) {
        if (step.startsWith("open"))
            p.ui().portnun_edit->setText(step == "open" ? pty.slaveName() : "/dev/laserpanel-missing");
        QVERIFY(QMetaObject::invokeMethod(&w, slotOf.value(step)));
    }
    QCOMPARE(p.ui().edit_message->text(), message);
    QCOMPARE(buttons(p), enabled);
    QCOMPARE(p.refreshTimer() && p.refreshTimer()->isActive(), refreshing);
    if (refreshing) {
        QCOMPARE(p.refreshTimer()->interval(), 500);
        QCOMPARE(p.serialPort()->baudRate(), 115200);
        QCOMPARE(p.serialPort()->dataBits(), QSerialPort::Data8);
        QCOMPARE(p.serialPort()->parity(), QSerialPort::NoParity);
        QCOMPARE(p.serialPort()->stopBits(), QSerialPort::OneStop);
        // Only the newest timer drives the display.
        QCOMPARE(w.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    }
}

void ConnectionTest::portNameTakesEffectAtNextOpen()
{
    Pty first, second;
    MainWindow w;
    MainWindowProbe p(w);
    p.ui().portnun_edit->setText(first.slaveName());
    p.ui().portopen_button->click();
    p.ui().portnun_edit->setText(second.slaveName());
    QVERIFY(first.slaveName().endsWith(p.serialPort()->portName()));
    p.ui().button_close->click();
    p.ui().portopen_button->click();
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
    QCOMPARE(p.portName(), second.slaveName());
}

void ConnectionTest::workerDeliversEveryFrame()
{
    Pty pty;
    QSerialPort port(pty.slaveName());
    QVERIFY(port.open(QIODevice::ReadWrite));
    serialThread worker(&port);
    QSignalSpy payloads(&worker, SIGNAL(sendData(QByteArray)));
    worker.start();
    QVERIFY(worker.wait(5000));

    // Frames cut anywhere and mixed with noise reach the spy whole and in order.
    QRandomGenerator rng(42);
    QByteArray stream;
    QList<QByteArray> sent;
    for (int n = 0; n < 60; ++n) {
        QByteArray payload(9, '\0');
        for (char &b : payload)
            b = static_cast<char>(rng.bounded(256));
        sent << payload;
        stream += frame(payload) + QByteArray(rng.bounded(3), '\x11');
    }
    for (int at = 0; at < stream.size();) {
        const int piece = rng.bounded(1, 30);
        pty.write(stream.mid(at, piece));
        at += piece;
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(payloads.size(), sent.size(), 5000);
    for (int i = 0; i < sent.size(); ++i)
        QCOMPARE(payloads.at(i).at(0).toByteArray(), sent.at(i));
}

void ConnectionTest::deviceLoss()
{
    MainWindow w;
    MainWindowProbe p(w);
    {
        Pty pty;
        p.ui().portnun_edit->setText(pty.slaveName());
        p.ui().portopen_button->click();
        QCOMPARE(buttons(p), QStringLiteral("010111"));
        pty.closeMaster();
        QTRY_COMPARE(p.ui().edit_message->text(), QStringLiteral("串口连接已断开"));
    }
    QCOMPARE(buttons(p), QStringLiteral("100001"));
    QVERIFY(!p.refreshTimer()->isActive());
    QVERIFY(!p.serialPort()->isOpen());

    // A lost port must not leave a notifier spinning.
    const double before = cpuSeconds();
    QTest::qWait(2000);
    const double used = cpuSeconds() - before;
    QVERIFY2(used < 0.2, qPrintable(QString("%1 s of CPU in 2 s").arg(used)));

    p.ui().button_touchOff->click();
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入失败"));

    Pty replacement;
    p.ui().portnun_edit->setText(replacement.slaveName());
    p.ui().portopen_button->click();
    QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
}

void ConnectionTest::reopeningReleasesOldObjects()
{
    Pty pty;
    MainWindow w;
    MainWindowProbe p(w);
    p.ui().portnun_edit->setText(pty.slaveName());
    QPointer<QSerialPort> port;
    QPointer<serialThread> worker;
    QPointer<QTimer> timer;
    for (int cycle = 0; cycle < 200; ++cycle) {
        p.ui().portopen_button->click();
        QVERIFY(!port && !worker && !timer);
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
        port = p.serialPort();
        worker = p.serialWorker();
        timer = p.refreshTimer();
        p.ui().button_close->click();
    }
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
