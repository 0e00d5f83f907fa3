// laser-sim as a program: its options, its link, its stop signals, its faults
// and its output to a reader that stops reading.
#include "ptypair.h"
#include "simprocess.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int frameSize = 13;

// What fd has, waiting up to ms while there are fewer than count bytes.
QByteArray drain(int fd, int count = 1, int ms = 0)
{
    QByteArray out;
    char buf[4096];
    QDeadlineTimer deadline(ms);
    pollfd p{fd, POLLIN, 0};
    for (ssize_t n = 0; poll(&p, 1, out.size() < count ? int(deadline.remainingTime()) : 0) > 0 && (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, int(n));
    return out;
}

// Whether the process has ended, before QProcess has reaped it too.
bool ended(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

// A file descriptor closed with its owner.
struct Fd
{
    explicit Fd(const QString &path, int flags) : fd(::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC)) {}
    ~Fd() { ::close(fd); }
    Q_DISABLE_COPY(Fd)
    const int fd;
};

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT
private slots:
    // A whole number where one is asked for, a decimal one in range elsewhere;
    // strtod alone took fractions, hex, blanks and "inf". One row per fault.
    void numbers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("whole: fraction") << QStringList{"--burst", "2.9"} << 2;
        QTest::newRow("whole: over 32 bits") << QStringList{"--seed", "4294967296"} << 2;
        QTest::newRow("whole: empty") << QStringList{"--seed", ""} << 2;
        QTest::newRow("decimal: hex") << QStringList{"--rate", "0x10"} << 2;
        QTest::newRow("decimal: over range") << QStringList{"--temp", "80.5"} << 2;
        QTest::newRow("decimal: exponent cut") << QStringList{"--tau", "1e"} << 2;
        QTest::newRow("fault: none named") << QStringList{"--fault", ","} << 2;
        QTest::newRow("every form and bound") << QStringList{"--burst", "100", "--seed", "4294967295", "--rate", "1e0", "--temp", "-20",
                                                             "--ramp", "+2.5", "--tau", ".5", "--hangup-after", "0", "--fault", "pump", "--fault", "tec,temp"} << 0;
    }
    void numbers()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        QProcess p;
        // --count 0 ends a run that starts at once; the row's options come after it.
        p.start(LASER_SIM_PATH, QStringList{"--link", dir.path() + "/laser", "--count", "0"} + args);
        QVERIFY(p.waitForFinished(5000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), exitCode);
        QVERIFY2(exitCode ? err.contains(args[0] + ": '" + args[1] + "' is not") : err.isEmpty(), qPrintable(err));
    }

    // An existing link is taken over only when it is a leftover: dangling. One to a
    // live pty is a running simulator's; it and anything else are refused and left.
    void existingLink_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("taken");
        QTest::newRow("link to a file") << "file" << false;
        QTest::newRow("link to a device, not a pty") << "/dev/null" << false;
        QTest::newRow("plain file") << "plain" << false;
        QTest::newRow("link to a live pty") << "pty" << false;
        QTest::newRow("dangling link") << "gone" << true;
    }
    void existingLink()
    {
        QFETCH(QString, target);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        Pty pty;
        QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
        const bool plain = target == "plain";
        target = plain ? QString() : target == "pty" ? pty.slaveName() : QDir(dir.path()).absoluteFilePath(target);
        const QString link = dir.filePath("laser");
        QVERIFY(plain ? QFile(link).open(QIODevice::WriteOnly) : QFile::link(target, link));

        SimProcess sim(LASER_SIM_PATH, {}, link);
        if (!taken) {
            QVERIFY(sim.process.waitForFinished(5000));
            QCOMPARE(sim.process.exitCode(), 1);
            QVERIFY(QFileInfo::exists(link));
            QCOMPARE(QFileInfo(link).symLinkTarget(), target);
            return;
        }
        QVERIFY(sim.ready());
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.find("port: ").mid(6));
        sim.process.terminate();
        QVERIFY(sim.process.waitForFinished(5000));
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // However many stop signals come in a row, the run ends normally and its link goes.
    void stopSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("burst");
        QTest::newRow("one SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGINT until it ends") << int(SIGINT) << true;
        QTest::newRow("SIGHUP until it ends") << int(SIGHUP) << true;
    }
    void stopSignals()
    {
        QFETCH(int, signal);
        QFETCH(bool, burst);
        for (int run = 0; run < 10; ++run) {
            SimProcess sim(LASER_SIM_PATH, {});
            QVERIFY(sim.ready());
            const qint64 pid = sim.process.processId();
            for (int sent = 0; sent < (burst ? 100000 : 1) && !ended(pid); ++sent)
                ::kill(pid_t(pid), signal);
            QVERIFY(sim.process.waitForFinished(5000));
            QVERIFY2(!QFileInfo(sim.link).isSymLink(), qPrintable(QString("link left by run %1").arg(run)));
            QVERIFY2(sim.process.exitStatus() == QProcess::NormalExit && sim.process.exitCode() == 0, qPrintable(QString("run %1").arg(run)));
        }
    }

    // Faults raised for the run (--fault) or while it runs (--faults-file), and
    // cleared when the file goes; known names count beside an unknown one. What
    // frames carry of them is tst_sim's.
    void faults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("said");   // written, then removed
        QTest::newRow("one") << QStringList{} << QByteArray("temp\n") << QStringList{"faults: temp", "faults: none"};
        QTest::newRow("two and a typo") << QStringList{} << QByteArray("tec,\ttmep pump")
            << QStringList{"faults file: FILE: 'tmep' is not pump, tec or temp; ignored", "faults: pump tec", "faults: none"};
        QTest::newRow("--fault stays") << QStringList{"--fault", "pump"} << QByteArray("tec") << QStringList{"faults: pump", "faults: pump tec", "faults: pump"};
    }
    void faults()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, said);
        QTemporaryDir dir;
        const QString path = dir.filePath("faults");
        SimProcess sim(LASER_SIM_PATH, args + QStringList{"--faults-file", path});
        const auto faultLines = [&] { return sim.lines.filter(QRegularExpression("^faults")).replaceInStrings(path, "FILE"); };
        QVERIFY(sim.ready());
        QSaveFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size() && f.commit());
        QTRY_COMPARE(faultLines(), said.mid(0, said.size() - 1));
        QVERIFY(QFile::remove(path));
        QTRY_COMPARE(faultLines(), said);
    }

    // stdout on a pipe that fills up (a paused pager): commands are still read,
    // status still flows, lines are dropped and counted, SIGTERM still works.
    void blockedOutput()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("laser"), fifo = dir.filePath("stdout");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        Fd out(fifo, O_RDONLY);   // opened first, so that the writer's open does not wait
        QProcess sim;
        sim.setStandardOutputFile(fifo);
        sim.start(LASER_SIM_PATH, {"--link", link, "--rate", "50"});
        QTRY_VERIFY(QFileInfo(link).exists());
        Fd line(link, O_RDWR | O_NOCTTY);
        QVERIFY(line.fd >= 0);

        // Each command prints a line of about 110 bytes: 2000 are three pipes full.
        const QByteArray commands = QByteArray::fromHex("A55A000C220000141E0000FAFB").repeated(2000);
        QDeadlineTimer deadline(10000);
        for (qsizetype done = 0; done < commands.size();) {
            QVERIFY2(!deadline.hasExpired(), qPrintable(QString("commands stopped being read after %1").arg(done / frameSize)));
            pollfd p{line.fd, POLLOUT, 0};
            poll(&p, 1, 50);
            drain(line.fd);   // the frames and replies, so that the simulator's writes to the link never wait
            done += qMax<ssize_t>(::write(line.fd, commands.constData() + done, size_t(commands.size() - done)), 0);
        }
        drain(line.fd);
        // 50 frames/s: ten within a few seconds even on a busy machine.
        QVERIFY(drain(line.fd, 10 * frameSize, 3000).size() >= 10 * frameSize);

        QElapsedTimer t;
        t.start();
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString("SIGTERM took %1 ms").arg(t.elapsed())));
        QVERIFY(sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0);
        const QByteArray report = sim.readAllStandardError();
        QVERIFY2(QRegularExpression("^laser-sim: dropped [1-9][0-9]* lines of output$", QRegularExpression::MultilineOption)
                     .match(report).hasMatch(), report.constData());
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
