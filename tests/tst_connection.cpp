// Opening, closing and losing the port, against real pseudo-terminals.
#include "probe.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QtTest>

class ConnectionTest : public QObject
{
    Q_OBJECT

private slots:
    void operations_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<bool>("refreshing");

        QTest::newRow("open failure") << QStringList{"openBad"} << "串口打开失败" << "100000" << false;
        QTest::newRow("open failure, retry") << QStringList{"openBad", "open"} << "串口打开成功" << "010111" << true;
        QTest::newRow("stop") << QStringList{"open", "stop"} << "定时器关闭成功" << "011011" << false;
        QTest::newRow("stop, start") << QStringList{"open", "stop", "start"} << "定时器启动成功" << "010111" << true;
        QTest::newRow("start refused") << QStringList{"open", "start"} << "定时器启动失败" << "010111" << true;
        QTest::newRow("stop, close") << QStringList{"open", "stop", "close"} << "串口关闭成功" << "100001" << false;
        QTest::newRow("stop, close, open") << QStringList{"open", "stop", "close", "open"} << "串口打开成功" << "010111" << true;
        QTest::newRow("failure after close") << QStringList{"open", "close", "openBad"} << "串口打开失败" << "100001" << false;
        QTest::newRow("nothing open yet") << QStringList{"stop", "start", "close"} << "Message" << "100000" << false;
    }

    void operations()
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
        QCOMPARE(p.buttons(), enabled);
        QCOMPARE(p.refreshTimer() && p.refreshTimer()->isActive(), refreshing);
        if (refreshing) {
            QCOMPARE(p.refreshTimer()->interval(), 500);
            const QSerialPort *port = p.serialPort();
            QCOMPARE((QVector<int>{port->baudRate(), port->dataBits(), port->parity(), port->stopBits()}),
                     (QVector<int>{115200, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop}));
            // Only the newest timer drives the display.
            const auto timers = w.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
            QCOMPARE(std::count_if(timers.begin(), timers.end(), [](QTimer *t) { return t->interval() == 500; }), 1);
        }
    }

    void deviceLoss()
    {
        MainWindow w;
        MainWindowProbe p(w);
        {
            Pty pty;
            p.open(pty.slaveName());
            QCOMPARE(p.buttons(), QStringLiteral("010111"));
            pty.closeMaster();
            QTRY_COMPARE(p.ui().edit_message->text(), QStringLiteral("串口连接已断开"));
        }
        QCOMPARE(p.buttons(), QStringLiteral("100001"));
        QVERIFY(!p.refreshTimer()->isActive());
        QVERIFY(!p.serialPort()->isOpen());

        // A lost port must not leave a notifier firing on the hung-up line: the event loop comes to rest.
        QVERIFY(QTest::qWaitFor([] { return !QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents); }, 1000));

        p.ui().button_touchOff->click();
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入失败"));

        Pty replacement;
        p.open(replacement.slaveName());
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
    }

    void reopeningReleasesOldObjects()
    {
        OpenWindow o;
        QPointer<serialThread> worker;
        QPointer<QTimer> timer;
        for (int cycle = 0; cycle < 50; ++cycle) {   // each Close lists the ports: slow under the sanitizers
            QVERIFY(!worker && !timer);
            QCOMPARE(o.p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
            worker = o.p.serialWorker();
            timer = o.p.refreshTimer();
            o.p.ui().button_close->click();
            o.p.ui().portopen_button->click();
        }
    }
};

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
