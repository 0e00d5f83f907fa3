// The window opening, closing and losing its port against real pseudo-terminals,
// and what it does when the line or the system misbehaves: commands queued at
// Close, a receive thread that cannot start.
#include "portsession.h"
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

        QTest::newRow("open failure") << QStringList{"openBad"} << "串口打开失败：没有这个设备" << "100000" << false;
        QTest::newRow("open failure, retry") << QStringList{"openBad", "open"} << "串口打开成功" << "010111" << true;
        QTest::newRow("stop") << QStringList{"open", "stop"} << "定时器关闭成功" << "011011" << false;
        QTest::newRow("stop, start") << QStringList{"open", "stop", "start"} << "定时器启动成功" << "010111" << true;
        QTest::newRow("start refused") << QStringList{"open", "start"} << "定时器启动失败" << "010111" << true;
        QTest::newRow("stop, close") << QStringList{"open", "stop", "close"} << "串口关闭成功" << "100001" << false;
        QTest::newRow("stop, close, open") << QStringList{"open", "stop", "close", "open"} << "串口打开成功" << "010111" << true;
        QTest::newRow("failure after close") << QStringList{"open", "close", "openBad"} << "串口打开失败：没有这个设备" << "100001" << false;
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

    // Why Open failed, after the message on the line, and in English in the link log.
    void openFailureReasons_data()
    {
        QTest::addColumn<QString>("port");   // empty: a line another program holds
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("logged");
        QTest::newRow("missing") << "/dev/laserpanel-missing" << "没有这个设备" << "missing (no such device)";
        QTest::newRow("folder") << "/dev" << "不是串口设备" << "a directory, not a serial device";
        QTest::newRow("not serial") << "/dev/null" << "不是串口设备" << "not a serial device (a memory device such as /dev/null)";
        QTest::newRow("busy") << "" << "已被其他程序占用" << "busy (another program has it open)";
    }
    void openFailureReasons()
    {
        QFETCH(QString, port);
        QFETCH(QString, reason);
        QFETCH(QString, logged);
        Pty pty;
        laser::PortSession other;
        if (port.isEmpty()) {
            port = pty.slaveName();
            QVERIFY(other.open(port, QIODevice::ReadWrite, nullptr));
        }
        MainWindow w;
        MainWindowProbe p(w);
        p.open(port);
        QCOMPARE(p.ui().edit_message->text(), "串口打开失败：" + reason);
        QCOMPARE(p.loggedEvents(), QStringList{"open_failed  " + port + ": " + logged});
    }

    // The port that last opened comes back at the next start; Return in the
    // field opens it as Open does, and does nothing while a port is open.
    void rememberedPortAndReturn()
    {
        Pty pty;
        {
            MainWindow w;
            MainWindowProbe p(w);
            p.open(pty.slaveName());
            p.ui().button_close->click();
            p.open("/dev/laserpanel-missing");
        }
        MainWindow w;
        MainWindowProbe p(w);
        QCOMPARE(p.ui().portnun_edit->text(), pty.slaveName());
        QTest::keyClick(p.ui().portnun_edit, Qt::Key_Return);
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
        p.ui().edit_message->clear();
        QTest::keyClick(p.ui().portnun_edit, Qt::Key_Return);
        QCOMPARE(p.ui().edit_message->text(), QString());
    }

    // The line hangs up: the window waits for the same path, says so in its
    // title with Close usable, and reopens it as Open does, the working point
    // restored and nothing sent; Close or an Open ends the wait. The link log
    // notes each step.
    void reconnection_data()
    {
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("events");   // a regular expression; {} is the port
        QTest::newRow("the same path back") << "back" << "lost  {} went away \\(the device was removed\\)\n"
            "waiting  for {} to come back\nopen  {}\nreopened  {} after \\d+\\.\\d s\nworking_point  restored, .*";
        QTest::newRow("Close") << "close" << "lost  .*\nwaiting  .*\nclose  {}";
        QTest::newRow("Open on another") << "open" << "lost  .*\nwaiting  .*\nopen  /dev/pts/\\d+";
    }
    void reconnection()
    {
        QFETCH(QString, then);
        QFETCH(QString, events);
        QTemporaryDir dir;
        const QString link = dir.filePath("laser");
        auto first = std::make_unique<Pty>();
        QVERIFY(QFile::link(first->slaveName(), link));
        MainWindow w;
        MainWindowProbe p(w);
        p.open(link);
        p.ui().scroll_current->setValue(7);
        p.ui().button_current_in->click();
        const QByteArray sent = commandFrame(0, 7, 20, variant::kFreqInitialSteps);
        QCOMPARE(first->readAtLeast(sent.size()), sent);
        const QPointer<serialThread> worker = p.serialWorker();
        const QPointer<QTimer> timer = p.refreshTimer();
        p.loggedEvents();
        QVERIFY(QFile::remove(link));
        first.reset();
        QTRY_COMPARE(p.ui().edit_message->text(), QStringLiteral("串口连接已断开：设备已移除"));
        QCOMPARE(w.windowTitle(), QString(variant::kTitle) + " — 等待重新连接");
        QCOMPARE(p.buttons(), QStringLiteral("110001"));
        // No notifier left firing on the hung-up line: the event loop comes to rest.
        QVERIFY(QTest::qWaitFor([] { return !QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents); }, 1000));
        p.ui().scroll_current->setValue(3);

        Pty second;
        if (then == "close")
            p.ui().button_close->click();
        else if (then == "open")
            p.open(second.slaveName());
        QVERIFY(QFile::link(second.slaveName(), link));
        if (then == "close") {
            QCOMPARE(p.buttons(), QStringLiteral("100001"));
        } else {
            QTRY_COMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
            QCOMPARE(p.buttons(), QStringLiteral("010111"));
            QVERIFY(!worker && !timer);
        }
        if (then == "back") {
            QCOMPARE(p.ui().scroll_current->value(), 7);
            p.ui().button_current_in->click();
            QCOMPARE(second.readAtLeast(sent.size()), sent);
        }
        QCOMPARE(w.windowTitle(), QString(variant::kTitle));
        const QString logged = p.loggedEvents().join('\n');
        QVERIFY2(QRegularExpression("^" + events.replace("{}", QRegularExpression::escape(link)) + "$").match(logged).hasMatch(),
                 qPrintable(logged));
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
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败：the receive thread could not start"));
        QCOMPARE(p.buttons(), QStringLiteral("100000"));
        QVERIFY(!p.serialPort()->isOpen());
        p.setWorkerStackSize(0);
        p.open(pty.slaveName());
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
