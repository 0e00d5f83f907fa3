// What the window does when the line or the system misbehaves: commands
// queued at Close, a far end that takes nothing, a receive thread that
// cannot start.
#include "probe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
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
} // namespace

class HardeningTest : public QObject
{
    Q_OBJECT

    static QByteArray frame(int amps) { return commandFrame(0, amps, 20, variant::kFreqInitialSteps); }

private slots:
    void initTestCase() { dropDebugMessages(); }

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

QTEST_MAIN(HardeningTest)
#include "tst_hardening.moc"
