// The simulated laser: its encoding, read back the way the panel reads it, and
// how it reads commands; laser-sim as a program: its options and its link.
#include "commandframe.h"
#include "ptypair.h"
#include "reading.h"
#include "simlaser.h"
#include "simprocess.h"
#include "statusdecode.h"

#include <QtTest>

#include <cmath>
#include <memory>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

    // Each fault raised shows in the status the panel reads, on a pump that is
    // otherwise locked and normal.
    void faultsInStatus()
    {
        sim::Pump pump;
        pump.temperature = pump.setTemperature;
        for (unsigned faults : {0u, unsigned(sim::PumpSupplyFault), unsigned(sim::TecUnlocked), unsigned(sim::TemperatureOffTable)}) {
            pump.faults = faults;
            const sim::Frame f = pump.statusFrame();
            laser::Reading r;
            QVERIFY(laser::readingFromPayload(QByteArray(reinterpret_cast<const char *>(f.data()) + 2, 9), r));
            QCOMPARE(r.pumpSupplyNormal, !(faults & sim::PumpSupplyFault));
            QCOMPARE(r.tecLocked, !(faults & sim::TecUnlocked));
            QCOMPARE(r.temperatureC == laser::kTemperatureOutOfRange, bool(faults & sim::TemperatureOffTable));
        }
    }

    // Commands as the simulator reads them: split, two in one read, after noise,
    // cut short; one with a status trailer is no command.
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

    // What a run is started with: a whole number where one is asked for, a decimal one
    // in range elsewhere (strtod alone took fractions, hex, blanks and "inf"), else exit 2;
    // an existing link is taken over only when it is a leftover: dangling, or to a pty no
    // other simulator plays on (a killed one's, whose number came round again). One to a
    // running simulator's pty and anything else are refused (exit 1) and left.
    void startUp_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("existing");   // at the link: a "file", a link to a "pty", to one "gone", or a "sim" running or "killed"
        QTest::addColumn<int>("exitCode");
        QTest::newRow("whole: fraction") << QStringList{"--burst", "2.9"} << "" << 2;
        QTest::newRow("whole: below its range") << QStringList{"--burst", "0"} << "" << 2;
        QTest::newRow("whole: over 32 bits") << QStringList{"--seed", "4294967296"} << "" << 2;
        QTest::newRow("whole: empty") << QStringList{"--seed", ""} << "" << 2;
        QTest::newRow("decimal: hex") << QStringList{"--rate", "0x10"} << "" << 2;
        QTest::newRow("decimal: over range") << QStringList{"--temp", "80.5"} << "" << 2;
        QTest::newRow("decimal: exponent cut") << QStringList{"--tau", "1e"} << "" << 2;
        QTest::newRow("fault: none named") << QStringList{"--fault", ","} << "" << 2;
        QTest::newRow("every form and bound") << QStringList{"--burst", "100", "--seed", "4294967295", "--rate", "1e0", "--temp", "-20",
                                                             "--ramp", "+2.5", "--tau", ".5", "--hangup-after", "0", "--fault", "pump", "--fault", "tec,temp"} << "" << 0;
        QTest::newRow("plain file") << QStringList{} << "file" << 1;
        QTest::newRow("link to a pty no simulator plays on") << QStringList{} << "pty" << 0;
        QTest::newRow("link to a running simulator") << QStringList{} << "sim" << 1;
        QTest::newRow("link a killed simulator left") << QStringList{} << "killed" << 0;
        QTest::newRow("dangling link") << QStringList{} << "gone" << 0;
    }
    void startUp()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, existing);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        Pty pty;
        const QString link = dir.filePath("laser"), target = existing == "pty" ? pty.slaveName() : dir.filePath(existing);
        std::unique_ptr<SimProcess> other;
        if (existing == "sim" || existing == "killed") {
            other = std::make_unique<SimProcess>(LASER_SIM_PATH, QStringList{}, link);
            QVERIFY(other->ready());
            if (existing == "killed") {
                other->signal(SIGKILL);
                QCOMPARE(other->finish(), -2);
            }
        } else if (!existing.isEmpty()) {
            QVERIFY(existing == "file" ? QFile(link).open(QIODevice::WriteOnly) : QFile::link(target, link));
        }
        const QString before = QFileInfo(link).symLinkTarget();
        // --count 0 ends a run that starts at once; the row's options come after it.
        Child sim(LASER_SIM_PATH, QStringList{"--link", link, "--count", "0"} + args);
        QCOMPARE(sim.finish(5000), exitCode);
        if (exitCode == 2)
            QVERIFY2(sim.err.contains(args[0] + ": '" + args[1] + "' is not"), qPrintable(sim.err));
        else if (exitCode == 1)   // left as it was
            QCOMPARE(QFileInfo(link).symLinkTarget(), before);
        else   // made, and taken away at the end
            QVERIFY2(sim.err.isEmpty() && sim.find("link: ") == "link: " + link && !QFileInfo(link).isSymLink(), qPrintable(sim.all()));
        QCOMPARE(QFileInfo::exists(link), exitCode == 1);
    }

    // A client killed while it holds the line in its exclusive mode (laserctl
    // through Qt) leaves it free: the simulator sees it go and clears the mode.
    void killedClient()
    {
        SimProcess sim(LASER_SIM_PATH, {"--rate", "20"});
        QVERIFY(sim.ready());
        Child client(LASERCTL_PATH, {"monitor", "-p", sim.link});
        QVERIFY(client.waitForLine("current"));
        client.signal(SIGKILL);
        QVERIFY(sim.waitForLine("reader: closed"));
        const int fd = ::open(QFile::encodeName(sim.link), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int exclusive = -1;
        QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        ::close(fd);
        QCOMPARE(exclusive, 0);
    }

    // A client that opens, writes a command and closes at once has it printed
    // within 100 ms, each time.
    void writeAndClose()
    {
        SimProcess sim(LASER_SIM_PATH, {});
        QVERIFY(sim.ready());
        for (int current : {10, 11, 12}) {
            const QByteArray frame = laser::encodeCommandFrame(laser::WorkingPoint{false, current, 34, 20, 30});
            QElapsedTimer clock;
            clock.start();
            const int fd = ::open(QFile::encodeName(sim.link), O_RDWR | O_NOCTTY);
            QCOMPARE(::write(fd, frame.constData(), size_t(frame.size())), ssize_t(frame.size()));
            ::close(fd);
            QVERIFY(sim.waitForLine("raw=" + frame.toHex(' ').toUpper(), 1000));
            QVERIFY2(clock.elapsed() < 100, qPrintable(QString("printed after %1 ms").arg(clock.elapsed())));
        }
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
