// The window as it stands after construction; opening, closing and losing its
// port against real pseudo-terminals; and what it does when the line or the
// system misbehaves: commands queued at Close, a far end that takes nothing, a
// receive thread that cannot start, names that are no laser's line, a stop signal.
#include "firmware.h"
#include "panelicon.h"
#include "probe.h"
#include "variant.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemModel>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QSerialPortInfo>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>

namespace {
// A terminal's local flags, read through a descriptor of our own and, if given, set.
tcflag_t localFlags(const QString &tty, tcflag_t set = 0)
{
    const int fd = ::open(QFile::encodeName(tty).constData(), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(fd, &t);
    if (set) {
        t.c_lflag = set;
        ::tcsetattr(fd, TCSANOW, &t);
    }
    ::close(fd);
    return t.c_lflag;
}
// Whether a lock file for the port name exists where Qt may put one.
bool lockFileFor(QString name)
{
    if (name.startsWith("/dev/"))
        name.remove(0, 5);
    const QString file = "LCK.." + name.replace('/', '_');
    for (const char *dir : {"/var/lock", "/run/lock", "/tmp"})
        if (QDir(dir).entryList(QDir::Files | QDir::System).contains(file))
            return true;
    return false;
}
QByteArray frame(int amps) { return commandFrame(0, amps, 20, variant::kFreqInitialSteps); }
} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    // Send logs every command; some cases send thousands.
    void initTestCase() { dropDebugMessages(); }

    // The form binds every on_<object>_<signal> slot by name and only reports one that names
    // nothing; a slot run while it is built would log. The scroll bars span laserctl's
    // ranges. Only Open is enabled, and Open without editing the port field tries COM1.
    void initialState()
    {
        static QStringList messages;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
            if (type == QtDebugMsg || type == QtWarningMsg)
                messages << msg;
        });
        MainWindow w;
        qInstallMessageHandler(previous);
        QCOMPARE(messages, QStringList());

        MainWindowProbe p(w);
        const laser::Variant &v = laser::buildVariant();
        auto range = [](QScrollBar *s) { return QVector<int>{s->minimum(), s->maximum(), s->value()}; };
        QCOMPARE(range(p.ui().scroll_current), (QVector<int>{laser::kCurrentMinSteps, laser::kCurrentMaxSteps, 0}));
        QCOMPARE(range(p.ui().scroll_pw), (QVector<int>{laser::kPulseMinSteps, laser::kPulseMaxSteps, laser::kPulseInitialSteps}));
        QCOMPARE(range(p.ui().scroll_ifreq), (QVector<int>{laser::kFreqMinSteps, v.maxSteps, v.initialSteps}));
        QCOMPARE(std::make_tuple(w.windowTitle(), p.ui().edit_message->text(), p.buttons()),
                 std::make_tuple(QString::fromUtf8(variant::kTitle), QString("Message"), QString("100000")));
        p.ui().portopen_button->click();
        QCOMPARE(p.serialPort() ? p.serialPort()->portName() : QStringLiteral("none"), QStringLiteral("COM1"));
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败"));
    }

    // The ports are listed once the operator uses the field, before the completer
    // looks: a key (Down shows the list) or a paste by the mouse.
    void portFieldOffersSerialPorts_data()
    {
        QTest::addColumn<QString>("use");
        for (const char *use : {"down", "type", "paste"})
            QTest::newRow(use) << use;
    }
    void portFieldOffersSerialPorts()
    {
        QFETCH(QString, use);
        MainWindow w;
        MainWindowProbe p(w);
        QLineEdit *edit = p.ui().portnun_edit;
        QCompleter *completer = edit->completer();
        QVERIFY(completer);
        if (use == "down") {
            QTest::keyClick(edit, Qt::Key_Down);
        } else if (use == "type") {
            QTest::keyClicks(edit, "tty");
        } else {
            QGuiApplication::clipboard()->setText("/dev/tty");
            edit->paste();
        }
        QStringList offered, present;
        for (int row = 0; row < completer->model()->rowCount(); ++row)
            offered << completer->model()->index(row, 0).data().toString();
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            present << info.systemLocation();
        present.sort();
        QCOMPARE(offered, present);
        // Still free text: any name reaches the next Open.
        edit->setText(QStringLiteral(" /dev/ttyUSB9 "));
        QCOMPARE(p.portName(), QStringLiteral(" /dev/ttyUSB9 "));
    }

    // The icon the build renders: every size it embeds, and one between them scaled down.
    void icon()
    {
        const QIcon icon = panelIcon();
        QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}}));
        for (const QSize &size : icon.availableSizes() + QList<QSize>{{20, 20}, {512, 512}}) {
            const QImage image = icon.pixmap(size).toImage();
            QCOMPARE(image.size(), size.boundedTo({128, 128}));
            QVERIFY(image.pixelColor(size.width() / 2, size.height() / 2).alpha() == 255);
        }
    }

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
                expected += frame(i);
            }
            if (!closeWindow) {
                p.ui().button_close->click();
                QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口关闭成功"));
            }
        }
        QCOMPARE(pty.readAtLeast(expected.size()).toHex(' '), expected.toHex(' '));
    }

    // A far end that reads nothing: Send stops queueing and says so, and
    // Close still returns within the drain bound.
    void stuckFarEndIsRefused()
    {
        OpenWindow o;
        int sent = 0;
        while (o.p.ui().edit_message->text() != QStringLiteral("数据写入失败") && sent < 100000) {
            o.p.ui().button_current_in->click();
            QCoreApplication::processEvents();
            ++sent;
        }
        QCOMPARE(o.p.ui().edit_message->text(), QStringLiteral("数据写入失败"));
        QVERIFY(o.p.serialPort()->bytesToWrite() <= 11 * 13);
        QElapsedTimer closing;
        closing.start();
        o.p.ui().button_close->click();
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString("Close took %1 ms").arg(closing.elapsed())));
        // What did reach the line is whole frames.
        const QByteArray line = o.pty.readAvailable(1000);
        QVERIFY(!line.isEmpty());
        QCOMPARE(line.size() % 13, 0);
        QVERIFY(line.startsWith(frame(0)));
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

    // Not serial lines of a laser: refused before anything is opened or locked.
    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        // Which names are refused is the platform layer's; these reach it from the window.
        QTest::newRow("own terminal device") << "/dev/tty";
        QTest::newRow("regular file") << QCoreApplication::applicationFilePath();
        QTest::newRow("NUL") << QString::fromLatin1("lp\0x", 4);
    }
    void refusedNames()
    {
        QFETCH(QString, name);
        QVERIFY(!lockFileFor(name));
        MainWindow w;
        MainWindowProbe p(w);
        p.open(name);
        QCOMPARE(p.ui().edit_message->text(), QStringLiteral("串口打开失败"));
        QVERIFY(!p.ui().edit_message->toolTip().isEmpty());
        QCOMPARE(p.buttons(), QStringLiteral("100000"));
        QVERIFY(!lockFileFor(name));
    }

    // A stop signal to a panel with its port open: exit 0, the terminal's
    // settings back as they were, and the port free for the next Open. Each
    // signal's own way to the event loop is the platform layer's.
    void stopSignal()
    {
        Pty pty;
        const tcflag_t cooked = localFlags(pty.slaveName(), localFlags(pty.slaveName()) | ICANON | ECHO);
        QProcess panel;
        panel.start(PANEL_PROBE_PATH, {pty.slaveName()});
        QVERIFY(panel.waitForReadyRead(10000));
        QCOMPARE(QString::fromUtf8(panel.readLine()).trimmed(), QStringLiteral("串口打开成功"));
        QVERIFY(localFlags(pty.slaveName()) != cooked);   // raw while the panel has it
        ::kill(pid_t(panel.processId()), SIGTERM);
        QVERIFY(panel.waitForFinished(5000));
        QCOMPARE(std::make_pair(panel.exitStatus(), panel.exitCode()), std::make_pair(QProcess::NormalExit, 0));
        QCOMPARE(localFlags(pty.slaveName()), cooked);
        OpenWindow again;   // on a new pty; and the old one reopens too
        again.p.open(pty.slaveName());
        QCOMPARE(again.p.ui().edit_message->text(), QStringLiteral("串口打开成功"));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
