// The window opening, closing and losing its port against real pseudo-terminals,
// and what it does when the line or the system misbehaves: commands queued at
// Close, a receive thread that cannot start.
#include "probe.h"
#include "variant.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QtTest>


class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    // Send logs every command; some cases send thousands.
    void initTestCase() { dropDebugMessages(); }

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
        QFETCH(bool, refreshing);

        Pty pty;
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
        QTEST(p.ui().edit_message->text(), "message");
        QTEST(p.buttons(), "enabled");
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

    // What lasts is in the title, and goes with it.
    void title()
    {
        QTemporaryDir dir;
        MainWindow w;
        MainWindowProbe p(w);
        const QString title = QString::fromUtf8(variant::kTitle);
        QVERIFY(p.monitor()->startRecording(dir.filePath("r.csv")));
        QCOMPARE(w.windowTitle(), title + " — 记录中");
        p.monitor()->contextMenu()->actions().last()->setChecked(true);   // Allow scripts to send commands
        QCOMPARE(w.windowTitle(), title + " — 记录中 — 允许脚本");
        p.monitor()->stopRecording();
        QCOMPARE(w.windowTitle(), title + " — 允许脚本");
    }

    // A lost port, then Open on another: the old worker and timer are freed.
    void deviceLoss()
    {
        MainWindow w;
        MainWindowProbe p(w);
        QPointer<serialThread> worker;
        QPointer<QTimer> timer;
        {
            Pty pty;
            p.open(pty.slaveName());
            QCOMPARE(p.buttons(), QStringLiteral("010111"));
            worker = p.serialWorker();
            timer = p.refreshTimer();
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
        QVERIFY(!worker && !timer);
    }

    // Send or Change Mode, then at once Close or the window's end: every
    // command reported as written reaches the far end.
    void queuedCommandsSurviveTheEnd_data()
    {
        QTest::addColumn<int>("commands");
        QTest::addColumn<bool>("closeWindow");
        QTest::newRow("one, Close") << 1 << false;
        QTest::newRow("ten, window closed") << 10 << true;
    }
    void queuedCommandsSurviveTheEnd()
    {
        QFETCH(int, commands);
        QFETCH(bool, closeWindow);
        Pty pty;
        QByteArray expected;
        {
            MainWindow w;
            MainWindowProbe p(w);
            p.open(pty.slaveName());
            for (int i = 1; i <= commands; ++i) {
                p.ui().scroll_current->setValue(i);
                (i % 2 ? p.ui().button_current_in : p.ui().button_touchOff)->click();
                QCOMPARE(p.ui().edit_message->text(), QStringLiteral("数据写入成功"));
                expected += commandFrame(0, i, 20, variant::kFreqInitialSteps);
            }
            if (!closeWindow) {
                p.ui().button_close->click();
                QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口关闭成功"));
            }
        }
        QCOMPARE(pty.readAtLeast(expected.size()).toHex(' '), expected.toHex(' '));
    }

    // Without a receive thread nothing would ever be decoded: no connection.
    void receiveThreadThatCannotStart()
    {
        Pty pty;
        MainWindow w;
        MainWindowProbe p(w);
        p.setWorkerStackSize(1);   // below any platform's minimum
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("QThread::start"));
        p.open(pty.slaveName());
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败"));
        QVERIFY(!p.ui().edit_message->toolTip().isEmpty());
        QCOMPARE(p.buttons(), QStringLiteral("100000"));
        QVERIFY(!p.serialPort()->isOpen());
        p.setWorkerStackSize(0);
        p.open(pty.slaveName());
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
