// The platform layer: which port names are refused, and stop signals that end
// the event loop cleanly.
#include "portguard.h"
#include "ptypair.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>

class PlatformTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Pty pty;

    QString path(const QString &name) const { return dir.filePath(name); }
    // A device node under our own name; false where we may not make one.
    bool node(const QString &name, unsigned maj, unsigned min) const
    {
        return ::mknod(QFile::encodeName(path(name)).constData(), S_IFCHR | 0600, makedev(maj, min)) == 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(pty.isValid());
        QFile file(path("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QDir(dir.path()).mkdir("dir"));
        QVERIFY(QFile::link(pty.slaveName(), path("laser")));
        QVERIFY(QFile::link("/dev/tty", path("tty-link")));
        QVERIFY(QFile::link(path("tty-link"), path("tty-link-link")));
    }

    void refusal_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");   // empty: accepted
        QTest::addColumn<int>("nodeMajor");    // >= 0: make a device node at name first
        QTest::addColumn<int>("nodeMinor");

        const QString control = "control character";
        QTest::newRow("line break") << pty.slaveName() + "\n" << control << -1 << 0;
        QTest::newRow("SOH") << QString("/dev/tty\x01S0") << control << -1 << 0;
        QTest::newRow("embedded NUL") << pty.slaveName() + QChar(0) + "x" << control << -1 << 0;
        QTest::newRow("DEL, bare name") << QString("ttyS0\x7f") << control << -1 << 0;
        QTest::newRow("regular file") << path("file") << "not a character device" << -1 << 0;
        QTest::newRow("directory") << path("dir") << "directory" << -1 << 0;
        QTest::newRow("bare name of a directory") << QString("pts") << "directory" << -1 << 0;
        QTest::newRow("/dev/null") << QString("/dev/null") << "memory device" << -1 << 0;
        QTest::newRow("missing: the open reports it") << path("absent") << QString() << -1 << 0;
        QTest::newRow("pty slave") << pty.slaveName() << QString() << -1 << 0;
        QTest::newRow("link to a pty slave") << path("laser") << QString() << -1 << 0;
        QTest::newRow("links to /dev/tty") << path("tty-link-link") << "console terminal" << -1 << 0;
        QTest::newRow("/dev/ptmx") << QString("/dev/ptmx") << "multiplexer" << -1 << 0;
        QTest::newRow("/dev/console") << QString("/dev/console") << "console terminal" << -1 << 0;
        QTest::newRow("console by another name") << path("con") << "console terminal" << 5 << 1;
        QTest::newRow("tty63") << path("vc63") << "virtual console" << 4 << 63;
        QTest::newRow("UART ttyS0") << path("uart0") << QString() << 4 << 64;
        QTest::newRow("USB adapter ttyUSB0") << path("usb0") << QString() << 188 << 0;
        QTest::newRow("/dev/zero by another name") << path("zero") << "memory device" << 1 << 5;
    }

    void refusal()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QFETCH(int, nodeMajor);
        QFETCH(int, nodeMinor);
        if (nodeMajor >= 0 && !node(QFileInfo(name).fileName(), unsigned(nodeMajor), unsigned(nodeMinor)))
            QSKIP("cannot make device nodes here");
        static const QStringList systemDevices{"/dev/null", "/dev/tty", "/dev/ptmx", "/dev/console"};
        if (systemDevices.contains(name) && !QFileInfo::exists(name))
            QSKIP("no such device on this machine");
        const QString refusal = platform::portRefusal(name);
        if (reason.isEmpty())
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        else
            QVERIFY2(refusal.contains(reason), qPrintable(refusal));
    }

    void controllingTerminalRefused()
    {
        // The probe makes our pty its controlling terminal: that one, by any
        // name, is refused; another pty is not.
        Pty other;
        QVERIFY(other.isValid());
        QProcess probe;
        probe.start(PLATFORM_PROBE_PATH, {"ctty", pty.slaveName(), pty.slaveName(), path("laser"), other.slaveName()});
        QVERIFY(probe.waitForFinished(10000));
        QCOMPARE(probe.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[0].contains("own terminal"), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains("own terminal"), qPrintable(lines[1]));
        QCOMPARE(lines[2], QString());
    }

    void stopSignalEndsTheLoop_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void stopSignalEndsTheLoop()
    {
        QFETCH(int, sig);
        QProcess probe;
        probe.start(PLATFORM_PROBE_PATH, {"quit"});
        QVERIFY(probe.waitForReadyRead(10000));
        QCOMPARE(probe.readLine().trimmed(), QByteArray("ready"));
        ::kill(pid_t(probe.processId()), sig);
        QVERIFY(probe.waitForFinished(5000));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
    }

    void secondSignalStopsAStuckProgram()
    {
        QProcess probe;
        probe.start(PLATFORM_PROBE_PATH, {"stuck"});
        QVERIFY(probe.waitForReadyRead(10000));
        // Two different signals, so the second cannot merge with the first.
        ::kill(pid_t(probe.processId()), SIGTERM);
        ::kill(pid_t(probe.processId()), SIGINT);
        QVERIFY(probe.waitForFinished(5000));
        QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
