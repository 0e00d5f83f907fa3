// The simulated laser: its encoding, read back the way the panel reads it; and
// laser-sim as a program: its options, its link, its stop signals, its faults
// and its output to a reader that stops reading.
#include "ptypair.h"
#include "simlaser.h"
#include "simprocess.h"
#include "statusdecode.h"

#include <QtTest>

#include <cmath>
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

class TestSim : public QObject {
    Q_OBJECT
private slots:
    // The panel's own readers check the simulator, whose encoding is written independently
    // from the frame layout: every current reads as the nearest the table offers; below 1 A
    // the code is 0, read as 0.00 A, and far above the table the top code.
    void currentNearest()
    {
        for (double a = 0.0; a <= 51.0; a += 0.001) {
            double best = a < 1.0 ? 0.0 : 1e9;
            for (int c = 20; c <= 163 && a >= 1.0; ++c)
                best = std::min(best, std::fabs(laser::currentFromCode(c) - a));
            const double read = laser::currentFromCode(sim::codeForCurrent(a));
            QVERIFY2(std::fabs(read - (a < 1.0 ? 0.0 : a)) <= best + 1e-9, qPrintable(QString("%1 A reads as %2 A").arg(a).arg(read)));
        }
    }

    // Every whole degree on the table, and half a degree short of either neighbour, reads as
    // that degree; a degree off the table reads as out of range. A code off by one either way
    // still reads the same, so a reader that differs from the panel in the last bit of a
    // division agrees too. The top degree owns only the table's last code.
    void temperatureWholeDegree()
    {
        std::vector<double> slope, intercept;
        laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
        for (int d = -1; d <= 41; ++d)   // -1 and 41: off the table
            for (double celsius : {d - 0.49, d + 0.0, d + 0.49}) {
                const int degree = d < 0 || d > 40 ? laser::kTemperatureOutOfRange : d, code = sim::codeForTemperature(celsius);
                for (int near : {code, code - 1, code + 1})
                    if (near == code || (degree >= 0 && degree < 40))
                        QVERIFY2(laser::temperatureFromCode(near, slope, intercept) == degree, qPrintable(QString::number(celsius)));
            }
    }

    // amps, celsius, set point, trigger, faults.
    void statusFrame_data()
    {
        QTest::addColumn<QVector<double>>("pump");
        QTest::addColumn<QString>("frame");
        QTest::newRow("cold start") << QVector<double>{0, 22, 25, 0, 0} << "A5 5A 00 00 00 00 04 8D 00 00 01 EE FF";
        QTest::newRow("settled, external") << QVector<double>{2.4, 25, 25, 1, 0} << "A5 5A 00 31 01 00 04 BC 00 00 03 EE FF";
        QTest::newRow("0.5 under: locked") << QVector<double>{4.04, 24.5, 25, 0, 0} << "A5 5A 00 52 00 00 04 BC 00 00 03 EE FF";
        QTest::newRow("0.6 over: unlocked") << QVector<double>{4.04, 25.6, 25, 0, 0} << "A5 5A 00 52 00 00 04 CC 00 00 01 EE FF";
        QTest::newRow("pump supply fault") << QVector<double>{2.4, 25, 25, 1, sim::PumpSupplyFault} << "A5 5A 00 31 01 00 04 BC 00 00 02 EE FF";
        QTest::newRow("TEC fault, locked") << QVector<double>{2.4, 25, 25, 1, sim::TecUnlocked} << "A5 5A 00 31 01 00 04 BC 00 00 01 EE FF";
        QTest::newRow("off the table") << QVector<double>{2.4, 25, 25, 1, sim::TemperatureOffTable} << "A5 5A 00 31 01 00 06 E1 00 00 03 EE FF";
    }
    void statusFrame()
    {
        QFETCH(QVector<double>, pump);
        sim::Pump p;
        std::tie(p.current, p.temperature, p.setTemperature, p.trigger, p.faults) =
            std::make_tuple(pump[0], pump[1], pump[2], std::uint8_t(pump[3]), unsigned(pump[4]));
        const QString got = QString::fromStdString(sim::hex(p.statusFrame().data(), sim::frameSize));
        QTEST(got, "frame");
        if (p.faults & sim::TemperatureOffTable) {
            std::vector<double> slope, intercept;
            laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
            QCOMPARE(laser::temperatureFromCode(0x06E1, slope, intercept), laser::kTemperatureOutOfRange);
        }
    }

    void commandReader_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QStringList>("events");
        const QByteArray cmd = QByteArray::fromHex("A55A000C220000141E0000FAFB");
        const QString ok = "ok A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB";
        auto row = [](const char *name, const QByteArrayList &reads, const QStringList &events) { QTest::newRow(name) << reads << events; };
        row("header split, two in one read", {cmd.left(1), cmd.mid(1, 7), cmd.mid(8) + cmd}, {ok, ok});
        row("status trailer", {cmd.left(11) + "\xEE\xFF"}, {"bad A5 5A 00 0C 22 00 00 14 1E 00 00 EE FF"});
        row("noise ending in a lone header byte", {QByteArray::fromHex("0011A5") + cmd}, {"bad 00 11 A5", ok});
        row("cut short, then a frame, then cut short", {cmd.left(4), cmd, cmd.left(3)}, {"bad A5 5A 00 0C", ok, "bad A5 5A 00"});
    }
    void commandReader()
    {
        QFETCH(QByteArrayList, reads);
        sim::CommandReader r;
        auto feed = [&r](const QByteArray &b) { return r.feed(reinterpret_cast<const std::uint8_t *>(b.data()), std::size_t(b.size())); };
        QStringList got;
        for (int i = 0; i <= reads.size(); ++i)   // every read, then the flush
            for (const auto &e : i < reads.size() ? feed(reads[i]) : r.flush())
                got << QString(e.good ? "ok " : "bad ") + QString::fromStdString(sim::hex(e.bytes));
        QTEST(got, "events");
    }

    // Nothing in the noise can even begin a header, so a reader hunting for frames anywhere
    // in the stream finds only the real ones.
    void noiseNeverFrames()
    {
        std::mt19937 rng(42);
        for (int i = 0; i < 5000; ++i)
            QVERIFY(sim::hex(sim::garbage(rng)).find("A5") == std::string::npos);
    }

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
        QTest::newRow("SIGINT until it ends") << int(SIGINT);
        QTest::newRow("SIGHUP until it ends") << int(SIGHUP);
    }
    void stopSignals()
    {
        QFETCH(int, signal);
        for (int run = 0; run < 10; ++run) {
            SimProcess sim(LASER_SIM_PATH, {});
            QVERIFY(sim.ready());
            const qint64 pid = sim.process.processId();
            for (int sent = 0; sent < 100000 && !ended(pid); ++sent)
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

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
