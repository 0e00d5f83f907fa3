// laser-sim as a program: its options, its link, its stop signals, its faults,
// its output to a reader that stops reading, and its end after --count frames.
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
        auto row = [](const char *name, int code, const QStringList &args) { QTest::newRow(name) << args << code; };
        row("whole: fraction", 2, {"--burst", "2.9"});
        row("whole: below range", 2, {"--burst", "0"});
        row("whole: sign", 2, {"--count", "-1"});
        row("whole: exponent", 2, {"--count", "1e3"});
        row("whole: over 32 bits", 2, {"--seed", "4294967296"});
        row("whole: empty", 2, {"--seed", ""});
        row("decimal: hex", 2, {"--rate", "0x10"});
        row("decimal: inf", 2, {"--rate", "inf"});
        row("decimal: blank", 2, {"--rate", " 5"});
        row("decimal: over range", 2, {"--temp", "80.5"});
        row("decimal: exponent cut", 2, {"--tau", "1e"});
        row("fault: unknown", 2, {"--fault", "pump,laser"});
        row("fault: none named", 2, {"--fault", ","});
        row("whole: bounds", 0, {"--burst", "100", "--seed", "4294967295"});
        row("decimal: forms", 0, {"--rate", "1e2", "--temp", "-20", "--ramp", "+2.5", "--tau", ".5", "--hangup-after", "0"});
        row("fault: each", 0, {"--fault", "pump", "--fault", "tec,temp"});
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
        QTest::newRow("link to a folder") << "folder" << false;
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
        QDir(dir.path()).mkdir("folder");
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
        QTRY_VERIFY(sim.has("link: "));
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
        QTest::newRow("SIGTERM until it ends") << int(SIGTERM) << true;
        QTest::newRow("SIGINT until it ends") << int(SIGINT) << true;
        QTest::newRow("SIGHUP until it ends") << int(SIGHUP) << true;
    }
    void stopSignals()
    {
        QFETCH(int, signal);
        QFETCH(bool, burst);
        for (int run = 0; run < 10; ++run) {
            SimProcess sim(LASER_SIM_PATH, {});
            QTRY_VERIFY(sim.has("link: "));
            const qint64 pid = sim.process.processId();
            for (int sent = 0; sent < (burst ? 100000 : 1) && !ended(pid); ++sent)
                ::kill(pid_t(pid), signal);
            QVERIFY(sim.process.waitForFinished(5000));
            QVERIFY2(!QFileInfo(sim.link).isSymLink(), qPrintable(QString("link left by run %1").arg(run)));
            QVERIFY2(sim.process.exitStatus() == QProcess::NormalExit && sim.process.exitCode() == 0, qPrintable(QString("run %1").arg(run)));
        }
    }

    // Faults raised for the run (--fault) or while it runs (--faults-file), and cleared
    // when the file goes: the frames' flags byte and whether the temperature is off the table.
    void faults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("offTable");
        QTest::addColumn<int>("clearedFlags");
        auto row = [](const char *name, const QStringList &args, const QByteArray &file, const char *said, int flags, bool offTable, int cleared) {
            QTest::newRow(name) << args << file << said << flags << offTable << cleared;
        };
        row("pump supply", {}, "pump\n", "faults: pump", 0x02, false, 0x03);
        row("TEC lock", {}, "tec", "faults: tec", 0x01, false, 0x03);
        row("temperature", {}, "temp", "faults: temp", 0x03, true, 0x03);
        row("two and a typo", {}, "tec, pump tmep", "faults file: ", 0x00, false, 0x03);
        row("--fault stays", {"--fault", "pump"}, "tec", "faults: pump tec", 0x00, false, 0x02);
    }
    void faults()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, file);
        QFETCH(QString, said);
        QFETCH(int, flags);
        QFETCH(bool, offTable);
        QFETCH(int, clearedFlags);
        QTemporaryDir dir;
        const QString path = dir.filePath("faults");
        // At its set point from the start, the TEC locks at once.
        SimProcess sim(LASER_SIM_PATH, args + QStringList{"--temp", "22", "--rate", "50", "--faults-file", path});
        QTRY_VERIFY(sim.has("link: "));
        Fd line(sim.link, O_RDWR | O_NOCTTY);
        // Waits for the newest frame to have these flags and temperature; 1443 is the
        // code of 40 °C, the top of the calibration.
        const auto frameWith = [&](int flags, bool offTable) {
            QByteArray got, frame;
            for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
                got += drain(line.fd, got.size() + frameSize, 100);
                const int at = got.lastIndexOf("\xA5\x5A", got.size() - frameSize);
                frame = at < 0 ? QByteArray() : got.mid(at, frameSize);
                if (frame.size() == frameSize && frame[10] == char(flags) && ((uchar(frame[6]) << 8 | uchar(frame[7])) > 1443) == offTable)
                    return true;
            }
            qWarning("last frame %s", frame.toHex(' ').constData());
            return false;
        };
        QVERIFY(frameWith(clearedFlags, false));
        QSaveFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size() && f.commit());
        QVERIFY(frameWith(flags, offTable));
        QTRY_VERIFY2(sim.has(said), qPrintable(sim.lines.join('\n')));
        QVERIFY(QFile::remove(path));
        QVERIFY(frameWith(clearedFlags, false));
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

    // --count N ends right after the reader has frame N, not a linger later.
    void countEndsAtLastFrame_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("frames");
        QTest::newRow("1/s") << QStringList{"--rate", "1", "--count", "2"} << 2;
        QTest::newRow("last burst cut short") << QStringList{"--rate", "20", "--burst", "4", "--count", "6"} << 6;
    }
    void countEndsAtLastFrame()
    {
        QFETCH(QStringList, args);
        QFETCH(int, frames);
        SimProcess sim(LASER_SIM_PATH, args);
        QVERIFY(QTest::qWaitFor([&] { return sim.has("link: "); }, 5000));
        Fd line(sim.link, O_RDWR | O_NOCTTY);
        const QByteArray got = drain(line.fd, frames * frameSize, 10000);
        QElapsedTimer t;
        t.start();
        QCOMPARE(got.size(), frames * frameSize);
        QVERIFY(sim.process.waitForFinished(5000));
        QVERIFY2(t.elapsed() < 150, qPrintable(QString("exit %1 ms after the last frame").arg(t.elapsed())));
        QCOMPARE(drain(line.fd).size(), 0);
        QCOMPARE(sim.number("sent: "), long(frames));
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
