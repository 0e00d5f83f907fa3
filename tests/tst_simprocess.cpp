// laser-sim as a program: its options, its link, its output to a reader that
// stops reading, and its end after --count frames.
#include "ptypair.h"
#include "simprocess.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int frameSize = 13;

// The far end of the simulator's line through its link, raw as the simulator
// leaves it.
struct Line
{
    explicit Line(const QString &path) : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Line()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Q_DISABLE_COPY(Line)

    // What is there, waiting up to ms for the first byte.
    QByteArray read(int ms) const { return drain(fd, ms); }
    // Until at least count bytes or the deadline.
    QByteArray readAtLeast(int count, int ms) const
    {
        QByteArray got;
        for (QDeadlineTimer deadline(ms); got.size() < count && !deadline.hasExpired();)
            got += read(20);
        return got;
    }
    static QByteArray drain(int fd, int ms)
    {
        QByteArray out;
        char buf[4096];
        pollfd p{fd, POLLIN, 0};
        for (ssize_t n = 0; poll(&p, 1, ms) > 0 && (n = ::read(fd, buf, sizeof buf)) > 0; ms = 0)
            out.append(buf, int(n));
        return out;
    }

    const int fd;
};

// A simulator with its stdout on a pipe that the test reads only when it
// chooses to, and its stderr in a file. Killed if the test ends early.
struct PipedSim
{
    PipedSim(const QString &link, const QString &errFile)
    {
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        const QByteArray err = QFile::encodeName(errFile), path = QFile::encodeName(link);
        posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const char *argv[] = {LASER_SIM_PATH, "--link", path.constData(), "--rate", "50", nullptr};
        if (posix_spawn(&pid, LASER_SIM_PATH, &fa, nullptr, const_cast<char **>(argv), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
    }
    ~PipedSim()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        ::close(out[0]);
    }
    Q_DISABLE_COPY(PipedSim)

    // Milliseconds from SIGTERM to its exit with status 0, or -1.
    qint64 terminate()
    {
        kill(pid, SIGTERM);
        QElapsedTimer t;
        t.start();
        int status = 0;
        pid_t r = 0;
        // waitpid has no timeout: poll it, with a deadline.
        while ((r = waitpid(pid, &status, WNOHANG)) == 0 && t.elapsed() < 5000)
            QThread::msleep(1);
        if (r != pid)
            return -1;
        pid = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t.elapsed() : -1;
    }

    int out[2] = {-1, -1};
    pid_t pid = -1;
};

const QRegularExpression droppedLine("^dropped ([1-9][0-9]*) lines of output$", QRegularExpression::MultilineOption);

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT
private slots:
    // A whole number where one is asked for, a decimal one in range elsewhere;
    // strtod alone took fractions, hex, blanks and "inf".
    void numbers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        auto bad = [](const char *name, const QStringList &args) { QTest::newRow(name) << args << 2; };
        auto good = [](const char *name, const QStringList &args) { QTest::newRow(name) << args << 0; };
        bad("burst fraction", {"--burst", "2.9"});
        bad("burst 0", {"--burst", "0"});
        bad("count fraction", {"--count", "1.5"});
        bad("count negative", {"--count", "-1"});
        bad("count exponent", {"--count", "1e3"});
        bad("seed hex float", {"--seed", "0x1p3"});
        bad("seed over 32 bits", {"--seed", "4294967296"});
        bad("seed empty", {"--seed", ""});
        bad("rate hex", {"--rate", "0x10"});
        bad("rate inf", {"--rate", "inf"});
        bad("rate nan", {"--rate", "nan"});
        bad("rate leading blank", {"--rate", " 5"});
        bad("rate trailing blank", {"--rate", "5 "});
        bad("temp over 80", {"--temp", "80.5"});
        bad("tau exponent cut", {"--tau", "1e"});
        good("burst 100", {"--burst", "100"});
        good("seed top", {"--seed", "4294967295"});
        good("rate exponent", {"--rate", "1e2"});
        good("temp signs", {"--temp", "-20", "--ramp", "+2.5"});
        good("tau fraction only", {"--tau", ".5"});
        good("hangup 0", {"--hangup-after", "0"});
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
        if (exitCode == 2)
            QVERIFY2(err.contains(args[0] + ": '" + args[1] + "' is not"), qPrintable(err));
        else
            QVERIFY2(err.isEmpty(), qPrintable(err));
    }

    // An existing link is taken over only when it is a leftover: dangling, or to
    // a pseudo-terminal. Anything else is refused and left as it was.
    void existingLink_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::newRow("link to a file") << "file" << false;
        QTest::newRow("link to a folder") << "folder" << false;
        QTest::newRow("link to a device, not a pty") << "/dev/null" << false;
        QTest::newRow("plain file") << "plain" << false;
        QTest::newRow("dangling link") << "gone" << true;
        QTest::newRow("link to a pty") << "pty" << true;
    }
    void existingLink()
    {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString link = dir.path() + "/laser";
        Pty pty;
        QFile(dir.path() + "/file").open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir("folder");
        const QString target = kind == "pty" ? pty.slaveName() : kind.startsWith('/') ? kind : dir.path() + "/" + kind;
        if (kind == "plain")
            QVERIFY(QFile(link).open(QIODevice::WriteOnly));
        else
            QVERIFY(QFile::link(target, link));

        SimProcess sim(LASER_SIM_PATH, {}, link);
        QVERIFY(QTest::qWaitFor([&] { return sim.has("link: ") || !sim.running(); }, 5000));
        if (!taken) {
            QTRY_VERIFY(!sim.running());
            QCOMPARE(sim.process.exitCode(), 1);
            QVERIFY(!sim.has("port: "));
            QCOMPARE(QFileInfo(link).symLinkTarget(), kind == "plain" ? QString() : QFileInfo(target).absoluteFilePath());
            QVERIFY(QFileInfo(link).isSymLink() == (kind != "plain"));
            return;
        }
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.find("port: ").mid(6));
        sim.process.terminate();
        QVERIFY(sim.process.waitForFinished(5000));
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // stdout on a pipe that fills up (a paused pager): commands are still read,
    // status still flows, lines are dropped and counted, SIGTERM still works.
    void blockedOutput_data()
    {
        QTest::addColumn<bool>("readerReturns");
        QTest::newRow("nobody reads") << false;
        QTest::newRow("reader comes back") << true;
    }
    void blockedOutput()
    {
        QFETCH(bool, readerReturns);
        QTemporaryDir dir;
        const QString link = dir.path() + "/laser", errFile = dir.path() + "/stderr";
        PipedSim sim(link, errFile);
        QVERIFY(sim.pid > 0);
        QTRY_VERIFY(QFileInfo(link).exists());
        Line line(link);
        QVERIFY(line.fd >= 0);

        // Each command prints a line of about 110 bytes: 2000 are three pipes full.
        const QByteArray commands = QByteArray::fromHex("A55A000C220000141E0000FAFB").repeated(2000);
        QDeadlineTimer deadline(10000);
        for (qsizetype done = 0; done < commands.size();) {
            QVERIFY2(!deadline.hasExpired(), qPrintable(QString("commands stopped being read after %1").arg(done / frameSize)));
            pollfd p{line.fd, POLLIN | POLLOUT, 0};
            poll(&p, 1, 50);
            if (p.revents & POLLIN)
                line.read(0);
            const ssize_t n = (p.revents & POLLOUT) ? ::write(line.fd, commands.constData() + done, size_t(commands.size() - done)) : 0;
            done += n > 0 ? n : 0;
        }
        line.read(0);
        // 50 frames/s: ten within a few seconds even on a busy machine.
        QVERIFY(line.readAtLeast(10 * frameSize, 3000).size() >= 10 * frameSize);

        if (readerReturns) {
            QByteArray text;
            for (QDeadlineTimer d(3000); !droppedLine.match(text).hasMatch() && !d.hasExpired();)
                text += Line::drain(sim.out[0], 20);
            QVERIFY2(droppedLine.match(text).hasMatch(), text.right(300).constData());
        }
        const qint64 ms = sim.terminate();
        QVERIFY2(ms >= 0 && ms < 1000, qPrintable(QString("SIGTERM took %1 ms").arg(ms)));
        QFile err(errFile);
        QVERIFY(err.open(QIODevice::ReadOnly));
        const QByteArray report = err.readAll();
        QVERIFY2(QRegularExpression("^laser-sim: dropped [1-9][0-9]* lines of output$", QRegularExpression::MultilineOption)
                     .match(report).hasMatch(), report.constData());
    }

    // --count N ends right after the reader has frame N, not a linger later.
    void countEndsAtLastFrame_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("frames");
        QTest::newRow("50/s") << QStringList{"--rate", "50", "--count", "5"} << 5;
        QTest::newRow("1/s") << QStringList{"--rate", "1", "--count", "2"} << 2;
        QTest::newRow("last burst cut short") << QStringList{"--rate", "20", "--burst", "4", "--count", "6"} << 6;
    }
    void countEndsAtLastFrame()
    {
        QFETCH(QStringList, args);
        QFETCH(int, frames);
        SimProcess sim(LASER_SIM_PATH, args);
        QVERIFY(QTest::qWaitFor([&] { return sim.has("link: "); }, 5000));
        Line line(sim.link);
        const QByteArray got = line.readAtLeast(frames * frameSize, 10000);
        QElapsedTimer t;
        t.start();
        QCOMPARE(got.size(), frames * frameSize);
        QVERIFY(sim.process.waitForFinished(5000));
        QVERIFY2(t.elapsed() < 150, qPrintable(QString("exit %1 ms after the last frame").arg(t.elapsed())));
        QCOMPARE(line.read(0).size(), 0);
        QCOMPARE(sim.number("sent: "), long(frames));
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
