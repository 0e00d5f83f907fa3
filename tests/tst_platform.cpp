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

private slots:
    void initTestCase()
    {
        QVERIFY(pty.isValid());
        QVERIFY(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
        QVERIFY(QDir(dir.path()).mkdir("dir"));
        QVERIFY(QFile::link(pty.slaveName(), dir.filePath("laser")));
        QVERIFY(QFile::link("/dev/tty", dir.filePath("tty-link")));
        QVERIFY(QFile::link(dir.filePath("tty-link"), dir.filePath("tty-link-link")));
        // Devices under names of our own, where we may make them.
        const struct { const char *name; unsigned major, minor; } nodes[] = {{"con", 5, 1}, {"vc63", 4, 63}, {"uart0", 4, 64}};
        for (const auto &n : nodes)
            ::mknod(QFile::encodeName(dir.filePath(n.name)).constData(), S_IFCHR | 0600, makedev(n.major, n.minor));
    }

    void refusal_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");   // empty: accepted
        const QString control = "control character", console = "console terminal";
        QTest::newRow("line break") << pty.slaveName() + "\n" << control;
        QTest::newRow("embedded NUL") << pty.slaveName() + QChar(0) + "x" << control;
        QTest::newRow("regular file") << dir.filePath("file") << "not a character device";
        QTest::newRow("directory") << dir.filePath("dir") << "directory";
        QTest::newRow("/dev/null") << "/dev/null" << "memory device";
        QTest::newRow("pty slave") << pty.slaveName() << QString();
        QTest::newRow("link to a pty slave") << dir.filePath("laser") << QString();
        QTest::newRow("links to /dev/tty") << dir.filePath("tty-link-link") << console;
        QTest::newRow("bare name: a device in /dev") << "tty" << console;
        QTest::newRow("/dev/ptmx") << "/dev/ptmx" << "multiplexer";
        QTest::newRow("console by another name") << dir.filePath("con") << console;
        QTest::newRow("tty63") << dir.filePath("vc63") << "virtual console";
        QTest::newRow("UART ttyS0") << dir.filePath("uart0") << QString();
    }
    void refusal()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        if (reason != "control character" && !QFileInfo::exists(name.contains('/') ? name : "/dev/" + name))
            QSKIP("no such device here");
        const QString refusal = platform::portRefusal(name);
        QVERIFY2(reason.isEmpty() ? refusal.isEmpty() : refusal.contains(reason), qPrintable(refusal));
    }

    // The probe makes our pty its controlling terminal: that one, by any name,
    // is refused; another pty is not.
    void controllingTerminalRefused()
    {
        Pty other;
        QProcess probe;
        probe.start(PLATFORM_PROBE_PATH, {"ctty", pty.slaveName(), pty.slaveName(), dir.filePath("laser"), other.slaveName()});
        QVERIFY(probe.waitForFinished(10000));
        const QString out = QString::fromUtf8(probe.readAllStandardOutput());
        QVERIFY2(QRegularExpression("^.*own terminal.*\n.*own terminal.*\n\n$").match(out).hasMatch(), qPrintable(out));
    }

    // A stop signal ends the event loop with exit 0; a second one ends a
    // program that never gets back to its loop.
    void stopSignals_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");   // 0: none
        QTest::newRow("SIGINT") << SIGINT << 0;
        QTest::newRow("SIGTERM") << SIGTERM << 0;
        QTest::newRow("SIGHUP") << SIGHUP << 0;
        // Two different signals, so the second cannot merge with the first.
        QTest::newRow("stuck, then SIGINT") << SIGTERM << SIGINT;
    }
    void stopSignals()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QProcess probe;
        probe.start(PLATFORM_PROBE_PATH, {second ? "stuck" : "quit"});
        QVERIFY(probe.waitForReadyRead(10000));
        QCOMPARE(probe.readLine().trimmed(), QByteArray("ready"));
        for (int sig : {first, second})
            if (sig)
                ::kill(pid_t(probe.processId()), sig);
        QVERIFY(probe.waitForFinished(5000));
        // -1: killed by the second signal.
        QCOMPARE(probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1, second ? -1 : 0);
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
