// laserctl as its user runs it: the real program against the simulated laser
// and raw pseudo-terminals, judged by its output, exit codes and the bytes it
// puts on the line.
#include "childprocess.h"
#include "csvrecord.h"
#include "ctl.h"
#include "filesizelimit.h"
#include "ptypair.h"
#include "simprocess.h"
#include "testhome.h"

#include <QSerialPort>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {
// One status frame: 2.35 A, 20 °C, external trigger, supply normal, TEC locked.
const QByteArray kFrame = QByteArray::fromHex("A55A 0030 01 00 0465 0000 03 EEFF");
const QByteArray kNoise = QByteArray::fromHex("0102030405060708090A0B0C0D0E0F1011121314");

struct Sim : SimProcess
{
    explicit Sim(const QStringList &args) : SimProcess(LASER_SIM_PATH, args + QStringList{"--seed", "1"}) {}
};

struct Ctl : Child
{
    explicit Ctl(const QStringList &args, const QString &program = LASERCTL_PATH) : Child(program, args) {}
};

// Null when it cannot be read.
QString textOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// "N meaning" for each match of `entry` (a code, then its meaning) in `text`.
QStringList entries(const QString &text, const QString &entry)
{
    QStringList found;
    for (auto m = QRegularExpression(entry, QRegularExpression::MultilineOption).globalMatch(text); m.hasNext();) {
        const QRegularExpressionMatch e = m.next();
        found << e.captured(1) + ' ' + e.captured(2);
    }
    return found;
}
} // namespace

class LaserctlTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init()
    {
        forgetWorkingPoints();
        writeLimits(QString());
    }

    // One run against a pty that plays the laser: the bytes laserctl puts on
    // the line, byte for byte in both variants, its exit code and what it says
    // ("PORT" stands for the pty's name). Refusals send nothing.
    void runOnce_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("feed");   // written again and again, in two parts
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QStringList>("shown");
        const QByteArray none;
        const QString noFrame;

        QTest::newRow("set v1.3 defaults") << QStringList{"set", "--variant", "v1.3"} << none << 0
            << "A5 5A 00 00 22 00 00 14 1E 00 00 FA FB" << QStringList{"sent to PORT: A5 5A", "current 0.00 A  pulse 5.00 ns  frequency 300 kHz  trigger internal"};
        QTest::newRow("set v1.2 defaults") << QStringList{"set", "--variant", "v1.2"} << none << 0
            << "A5 5A 00 00 22 00 00 14 03 00 00 FA FB" << QStringList{"frequency 300 kHz"};
        QTest::newRow("set v1.3 between steps truncates") << QStringList{"set", "--variant", "v1.3", "--current", "2.59", "--pulse", "3.49", "--freq", "309", "--trigger", "external"} << none << 0
            << "A5 5A 01 0C 22 00 00 0D 1E 00 00 FA FB" << QStringList{"current 2.40 A  pulse 3.25 ns  frequency 300 kHz  trigger external",
            "note: current 2.59 A is sent as 2.40 A (steps of 0.20 A)", "note: freq 309 kHz is sent as 300 kHz (steps of 10 kHz)"};
        QTest::newRow("set v1.3 top of every range") << QStringList{"set", "--variant", "v1.3", "--current", "7", "--pulse", "15", "--freq", "1000"} << none << 0
            << "A5 5A 00 23 22 00 00 3C 64 00 00 FA FB" << QStringList{"current 7.00 A  pulse 15.00 ns  frequency 1000 kHz"};

        QTest::newRow("current above") << QStringList{"set", "--current", "7.01"} << none << 2 << noFrame << QStringList{"--current 7.01 A is outside the panel's range 0.00 to 7.00 A"};
        QTest::newRow("v1.2 freq half a step above") << QStringList{"set", "--variant", "v1.2", "--freq", "1050"} << none << 2 << noFrame << QStringList{"range 100 to 1000 kHz"};
        QTest::newRow("freq not whole") << QStringList{"set", "--freq", "305.5"} << none << 2 << noFrame << QStringList{"not a whole number of kHz"};
        QTest::newRow("current NaN") << QStringList{"set", "--current", "nan"} << none << 2 << noFrame << QStringList{"is not a number"};
        QTest::newRow("unknown command") << QStringList{"fire"} << none << 2 << noFrame << QStringList{"unknown command 'fire'"};
        QTest::newRow("csv and json") << QStringList{"monitor", "--csv", "--json"} << none << 2 << noFrame << QStringList{"choose one"};
        QTest::newRow("port given twice") << QStringList{"status", "-p", "/dev/ttyS0"} << none << 2 << noFrame << QStringList{"--port given more than once"};
        QTest::newRow("option of another command") << QStringList{"status", "--csv"} << none << 2 << noFrame << QStringList{"status: --csv does not apply"};

        QTest::newRow("status: noise, then a split frame") << QStringList{"status", "--json"} << kNoise + kFrame << 0 << noFrame
            << QStringList{"\"current_A\":2.35,", "\"temperature_C\":20,", "\"trigger\":\"external\"", "\"tec\":\"locked\""};
        QTest::newRow("status: pump supply fault") << QStringList{"status"} << QByteArray::fromHex("A55A 0030 01 00 0465 0000 02 EEFF") << 10 << noFrame
            << QStringList{"alarms            pump_supply"};
        QTest::newRow("status: port of noise") << QStringList{"status", "--timeout", "0.8"} << kNoise << 3 << noFrame << QStringList{"PORT: no valid status frame within 0.8 s (", " bytes of noise)"};

        // The laser keeps reporting 2.35 A and external trigger, whatever it is sent.
        const QStringList verify{"set", "--variant", "v1.3", "--verify", "--timeout", "0.5"};
        const QString sent = "A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB";
        // 0.05 A off is just within a tolerance of 0.05 A.
        QTest::newRow("verify: agrees") << verify + QStringList{"--current", "2.4", "--trigger", "external", "--tolerance", "0.05"} << kFrame << 0
            << "A5 5A 01 0C 22 00 00 14 1E 00 00 FA FB" << QStringList{"2.35 A reported for 2.40 A set, 0.05 A off (tolerance 0.05 A)\nverified"};
        QTest::newRow("verify: trigger differs") << verify + QStringList{"--current", "2.4"} << kFrame << 9 << sent
            << QStringList{"trigger: external reported, but internal was set", "NOT verified"};
        QTest::newRow("verify: current differs") << verify + QStringList{"--current", "3", "--trigger", "external", "--tolerance", "0.2"} << kFrame << 9
            << "A5 5A 01 0F 22 00 00 14 1E 00 00 FA FB" << QStringList{"2.35 A reported for 3.00 A set, 0.65 A off (tolerance 0.20 A)\nNOT verified"};
        // Below the lowest readable current the laser reports 0.00 A, and that agrees.
        QTest::newRow("verify: below what the laser reads") << verify + QStringList{"--current", "0.4", "--trigger", "external"}
            << QByteArray::fromHex("A55A 0000 01 00 0465 0000 03 EEFF") << 0 << "A5 5A 01 02 22 00 00 14 1E 00 00 FA FB"
            << QStringList{"0.00 A reported for 0.40 A set, 0.00 A off", "verified"};
        QTest::newRow("verify: no laser") << verify + QStringList{"--current", "2.4"} << none << 3 << sent << QStringList{"PORT: no status frame within 0.5 s"};
    }

    void runOnce()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, feed);
        QFETCH(int, code);
        QFETCH(QString, frame);
        QFETCH(QStringList, shown);
        Pty pty;
        QElapsedTimer clock;
        clock.start();
        Ctl ctl(args + QStringList{"-p", pty.slaveName()});
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] { pty.write(feed.left(feed.size() - 8)); pty.write(feed.right(8)); });
        if (!feed.isEmpty())
            feeder.start(20);
        const QByteArray sent = frame.isEmpty() ? QByteArray() : pty.readAtLeast(13, 10000);
        QCOMPARE(ctl.finish(), code);
        QCOMPARE(ctl::hex(sent + pty.readAvailable(0)), frame);   // one frame at most
        QVERIFY(code != 3 || clock.elapsed() >= 500);   // not before the timeout
        for (const QString &part : shown)
            QVERIFY2(ctl.all().contains(QString(part).replace("PORT", pty.slaveName())), qPrintable(ctl.all()));
    }

    // set under the lab's limits, after the working point last sent (none:
    // 0 A); "PORT" in a file stands for the pty. What is refused sends nothing.
    void limits_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("user");
        QTest::addColumn<double>("lastA");   // -1: nothing sent yet
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("refusal");   // empty: sent; SYS and USER stand for the files
        const QString max3 = "[all]\ncurrent_max = 3.00\n", rise = "[all]\ncurrent_rise_max = 1.00\n";
        const QString damaged = "[all]\ncurrent_max = three\n";
        QTest::newRow("at the maximum") << max3 << "" << -1.0 << QStringList{"--current", "3"} << "";
        QTest::newRow("a step past it") << max3 << "" << -1.0 << QStringList{"--current", "3.2"} << "PORT: refused, nothing sent: current 3.20 A is beyond the limit 3.00 A (SYS [all])";
        QTest::newRow("the user narrows") << max3 << "[all]\ncurrent_max = 2\n" << -1.0 << QStringList{"--current", "2.2"} << "limit 2.00 A (USER [all])";
        QTest::newRow("the user cannot widen") << max3 << "[all]\ncurrent_max = 5\n" << -1.0 << QStringList{"--current", "3.2"} << "limit 3.00 A (SYS [all])";
        QTest::newRow("the laser's own over all") << max3 + "[port:PORT]\ncurrent_max = 5\n" << "" << -1.0 << QStringList{"--current", "5"} << "";
        QTest::newRow("another laser's") << max3 + "[port:/dev/ttyS9]\ncurrent_max = 5\n" << "" << -1.0 << QStringList{"--current", "5"} << "limit 3.00 A (SYS [all])";
        QTest::newRow("pulse range") << "[all]\npulse_min = 4\npulse_max = 10\n" << "" << -1.0 << QStringList{"--pulse", "3.75"} << "pulse 3.75 ns is beyond the limits 4.00 to 10.00 ns (SYS [all])";
        QTest::newRow("frequency range") << "[all]\nfreq_max = 505\n" << "" << -1.0 << QStringList{"--variant", "v1.3", "--freq", "510"} << "freq 510 kHz is beyond the limits 10 to 500 kHz (SYS [all])";
        QTest::newRow("the largest rise") << rise << "" << 2.0 << QStringList{"--current", "3"} << "";
        QTest::newRow("a step past the largest rise") << rise << "" << 2.0 << QStringList{"--current", "3.2"} << "current 3.20 A would rise from 2.00 A by more than the 1.00 A one command may (SYS [all])";
        QTest::newRow("a rise between steps") << "[all]\ncurrent_rise_max = 0.99\n" << "" << -1.0 << QStringList{"--current", "1"} << "more than the 0.80 A";
        QTest::newRow("damaged: up") << damaged << "" << 2.0 << QStringList{"--current", "2.2"} << "but a limits file cannot be read (SYS: line 2: current_max is not a number of 0 or more)";
        QTest::newRow("damaged: down") << damaged << "" << 2.0 << QStringList{"--current", "1"} << "";
        QTest::newRow("a folder") << "folder" << "" << -1.0 << QStringList{"--current", "0.2"} << "(SYS: not a regular file (a folder))";
    }
    void limits()
    {
        QFETCH(QString, system);
        QFETCH(QString, user);
        QFETCH(double, lastA);
        QFETCH(QStringList, args);
        QFETCH(QString, refusal);
        Pty pty;
        const QString sys = writeLimits(system.replace("PORT", pty.slaveName()), user);
        if (lastA >= 0)
            QVERIFY(laser::WorkingPointStore().save(laser::workingPointKey(pty.slaveName()),
                                                    laser::pointFromUnits(false, lastA, 5, 300, laser::kVariants[0].kHzPerStep),
                                                    QDateTime::currentDateTimeUtc(), "panel", nullptr));
        Ctl ctl(QStringList{"set", "-p", pty.slaveName()} + args);
        QCOMPARE(ctl.finish(), refusal.isEmpty() ? 0 : 12);
        QCOMPARE(pty.readAvailable(0).size(), refusal.isEmpty() ? 13 : 0);
        const QString usr = qEnvironmentVariable("XDG_CONFIG_HOME") + "/laserpanel/limits.conf";
        QVERIFY2(ctl.all().contains(refusal.replace("SYS", sys).replace("USER", usr).replace("PORT", pty.slaveName())), qPrintable(ctl.all()));
    }

    // Every failure names the port, says why, and has its own code.
    void portErrors_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("port");   // "busy": a pty held open here; "denied": a pty of mode 0600
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        for (const QString command : {"status", "monitor", "set", "detect"}) {
            const QByteArray c = command.toLatin1();
            QTest::addRow("%s: missing", c.constData()) << command << dir.filePath("absent") << 4 << "missing";
            QTest::addRow("%s: /dev/null", c.constData()) << command << "/dev/null" << 7 << "memory device";
            QTest::addRow("%s: busy", c.constData()) << command << "busy" << 6 << "busy";
        }
        QTest::newRow("status: regular file") << "status" << QString(LASERCTL_PATH) << 7 << "not a character device";
        QTest::newRow("status: denied") << "status" << "denied" << 5 << "permission denied";
        QTest::newRow("set: name too long") << "set" << "/dev/" + QString(300, 'x') << 4 << "the name is too long";
    }

    void portErrors()
    {
        QFETCH(QString, command);
        QFETCH(QString, port);
        QFETCH(QString, reason);
        Pty pty;
        QSerialPort holder(pty.slaveName());
        QStringList args = command == "detect" ? QStringList{"detect", "--listen", "0.2"} : QStringList{command, "-p"};
        if (port == "busy")
            QVERIFY(holder.open(QIODevice::ReadWrite));
        if (port == "denied") {
            // Root opens anything; an unprivileged user is refused by the file's mode.
            if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
                QSKIP("needs root and setpriv to act as another user");
            QVERIFY(::chmod(QFile::encodeName(pty.slaveName()).constData(), 0600) == 0);
            args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", LASERCTL_PATH} + args;
        }
        port = port == "busy" || port == "denied" ? pty.slaveName() : port;
        Ctl ctl(args << port, args.first().startsWith("--") ? "setpriv" : LASERCTL_PATH);
        QTEST(ctl.finish(), "code");
        const QString all = ctl.all();
        QVERIFY2((all.contains(port + ": ") || all.contains(port + "  cannot open: ")) && all.contains(reason), qPrintable(all));
    }

    void detect_data()
    {
        QTest::addColumn<bool>("withLaser");
        QTest::newRow("laser, silent port and noise") << true;
        QTest::newRow("silent port and noise only") << false;
    }

    void detect()
    {
        QFETCH(bool, withLaser);
        Sim sim({"--rate", "100"});
        QVERIFY(sim.ready());
        Pty silent, noisy;
        Ctl ctl(QStringList{"detect", "--listen", "1", silent.slaveName(), noisy.slaveName()} + (withLaser ? QStringList{sim.link} : QStringList{}));
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] { noisy.write(kNoise); });
        feeder.start(20);
        QCOMPARE(ctl.finish(), withLaser ? 0 : 3);
        QVERIFY2(ctl.find(silent.slaveName()).endsWith("no laser: silent for 1.0 s"), qPrintable(ctl.all()));
        QVERIFY2(ctl.find(noisy.slaveName()).contains("none of them a status frame"), qPrintable(ctl.all()));
        if (withLaser) {
            const QRegularExpressionMatch m = QRegularExpression(" laser: ([0-9.]+) frames/s").match(ctl.find(sim.link));
            QVERIFY2(m.hasMatch() && qAbs(m.captured(1).toDouble() - 100) < 15, qPrintable(ctl.all()));
            QVERIFY(!sim.has("command:"));   // listening sends nothing
        }
    }

    // The line hangs up. Without --reconnect laserctl reports it in the chosen
    // format and ends with 8; with it, it reopens the port once a new line
    // appears under the same name and goes on until stopped.
    void monitorHangUp_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("lostLine");   // a regular expression
        QTest::newRow("text, stale and recovered first") << QStringList{} << "^\\S+  lost: .+ went away \\(the device was removed\\)";
        QTest::newRow("json, reconnects") << QStringList{"--json", "--reconnect"} << "\"kind\":\"lost\"";
        QTest::newRow("csv") << QStringList{"--csv"} << "^\\S+,lost,,,,,,,,,,.+ went away \\(the device was removed\\)";
    }

    void monitorHangUp()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, lostLine);
        const QString link = dir.filePath(QTest::currentDataTag());
        auto first = std::make_unique<Pty>();
        QVERIFY(QFile::link(first->slaveName(), link));
        Ctl ctl(QStringList{"monitor", "-p", link} + args);
        QVERIFY(QTest::qWaitFor([&] { first->write(kFrame); return ctl.lines.size() >= 3; }, 5000));
        if (args.isEmpty()) {   // silence past the 2 s floor of the stale rule, then frames again
            QVERIFY(ctl.lines.first().endsWith("  current 2.35 A  temperature 20 °C  trigger external  pump supply normal  TEC locked"));
            QVERIFY(ctl.waitForLine("  stale: no status for", 6000));
            first->write(kFrame);
            QVERIFY(ctl.waitForLine("  recovered: status again after"));
        }
        // Its number may go to another test's line at once: no name leads there.
        QVERIFY(QFile::remove(link));
        first.reset();   // hang up
        if (!args.contains("--reconnect")) {
            QCOMPARE(ctl.finish(), 8);
            QVERIFY2(ctl.err.contains(link + ": link lost"), qPrintable(ctl.err));
            QVERIFY2(QRegularExpression(lostLine).match(ctl.lines.last()).hasMatch(), qPrintable(ctl.all()));
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return !ctl.lines.filter(QRegularExpression(lostLine)).isEmpty(); }, 5000));
        Pty second;
        QVERIFY(QFile::link(second.slaveName(), link));
        QVERIFY(ctl.waitForLine("\"kind\":\"open\""));
        const int before = ctl.lines.size();
        QVERIFY(QTest::qWaitFor([&] { second.write(kFrame); return ctl.lines.size() > before + 2; }, 5000));
        ctl.signal(SIGTERM);
        QCOMPARE(ctl.finish(), 0);
        QVERIFY2(ctl.lines.last().contains("\"kind\":\"status\""), qPrintable(ctl.lines.last()));
    }

    // At the line's full rate, split and with noise, none of the frames is lost;
    // the simulator hangs up after its last one.
    void monitorLineRate()
    {
        Sim sim({"--split", "--garbage", "--rate", "886", "--count", "1500"});
        QVERIFY(sim.ready());
        Ctl ctl({"monitor", "--json", "-p", sim.link});
        QCOMPARE(ctl.finish(20000), 8);
        QTRY_COMPARE_WITH_TIMEOUT(sim.number("sent: "), 1500L, 5000);
        QCOMPARE(ctl.lines.filter("\"kind\":\"status\"").size(), 1500);
    }

    // An output that cannot take the lines ends the run at once with exit 1 and
    // the real reason, and leaves whole lines only.
    void outputFailures_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("reason");
        QTest::newRow("device") << "/dev/full" << "/dev/full: cannot write (not a regular file (a device))";
        QTest::newRow("FIFO without reader") << "fifo" << "cannot write (not a regular file (a FIFO))";
        QTest::newRow("file size limit") << "limit" << "writing failed (File too large)";
    }
    void outputFailures()
    {
        QFETCH(QString, output);
        QFETCH(QString, reason);
        Pty pty;
        const QString path = output.startsWith('/') ? output : dir.filePath(QTest::currentDataTag());
        if (output == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        auto limit = std::make_unique<FileSizeLimit>(2048);   // the child's, from its start
        Ctl ctl({"monitor", "--csv", "-p", pty.slaveName(), "--output", path});
        limit.reset();
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] { pty.write(kFrame + kFrame); });
        feeder.start(5);
        QCOMPARE(ctl.finish(), 1);
        QVERIFY2(ctl.err.contains(reason), qPrintable(ctl.err));
        if (output != "limit")
            return;
        const QString text = textOf(path);
        QVERIFY(text.size() > 1500 && text.endsWith('\n'));
        for (const QString &line : text.split('\n', Qt::SkipEmptyParts).mid(5))
            QCOMPARE(line.count(','), 11);
    }

    // The panel's recording format (its rows are tst_linkrules'), the file
    // whole after a stop signal.
    void monitorCsvFile()
    {
        Sim sim({"--rate", "100", "--variant", "v1.2"});
        QVERIFY(sim.ready());
        const QString file = dir.filePath("record.csv");
        Ctl ctl({"monitor", "--csv", "--variant", "v1.2", "-p", sim.link, "--output", file});
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(file).size() > 8000; }, 5000));
        ctl.signal(SIGTERM);
        QCOMPARE(ctl.finish(), 0);
        QVERIFY(ctl.lines.isEmpty());
        const QString text = textOf(file);
        QVERIFY(text.endsWith('\n'));
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.mid(0, 3), (QStringList{"# program: laserctl 1.3", "# variant: v1.2", "# port: " + sim.link}));
        QVERIFY2(lines[3].startsWith("# started: 20"), qPrintable(lines[3]));
        QCOMPARE(lines[4], laser::csv::columns());
        for (const QString &line : lines.mid(5))
            QVERIFY2(line.section(',', 1, 1) == "status" && line.count(',') == 11, qPrintable(line));
    }

    // A recording summed up: stale periods end at recovered, alarms at
    // alarm_cleared or the file's end; an empty temperature is no value; a
    // damaged row is named.
    void summary()
    {
        const QString file = dir.filePath("summary.csv");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# variant: v1.2\n# port: COM3\n" + laser::csv::columns().toUtf8() + "\n"
                "2026-12-07T14:00:00.000+00:00,status,1.00,25,internal,normal,locked,,,,,\n"
                "2026-12-07T14:00:01.000+00:00,command,,,,,,2.40,3.25,300,external,\n"
                "2026-12-07T14:00:02.000+00:00,alarm,,,,,,,,,,pump_supply\n"
                "2026-12-07T14:00:03.000+00:00,stale,,,,,,,,,,no status for 2.0 s\n"
                "2026-12-07T14:00:05.500+00:00,recovered,,,,,,,,,,status again after 4.5 s\n"
                "2026-12-07T14:00:06.000+00:00,status,3.00,,internal,fault,locked,,,,,\n"
                "2026-12-07T14:00:08.000+00:00,alarm_cleared,,,,,,,,,,pump_supply\n"
                "2026-12-07T14:00:09,status,2.00,26,internal,normal,locked,,,,,\n"
                "2026-12-07T14:00:09.000+00:00,alarm,,,,,,,,,,tec_lock\n"
                "2026-12-07T14:00:10.000+00:00,status,2.00,28,internal,normal,unlocked,,,,,\n");
        f.close();
        qputenv("TZ", "UTC");
        Ctl text({"summary", file}), json({"summary", "--json", file});
        qunsetenv("TZ");
        QCOMPARE(text.finish(), 0);
        QCOMPARE(text.lines, (QStringList{"file: " + file, "port: COM3",
            "span: 2026-12-07T14:00:00.000+00:00 to 2026-12-07T14:00:10.000+00:00 (10.0 s)", "status rows: 3",
            "current_A: min 1.00, mean 2.00, max 3.00", "temperature_C: min 25, mean 26.50, max 28",
            "stale: 1 periods, 2.5 s in all", "  2026-12-07T14:00:03.000+00:00  2.5 s", "alarms: 2",
            "  2026-12-07T14:00:02.000+00:00  pump_supply  6.0 s", "  2026-12-07T14:00:09.000+00:00  tec_lock  1.0 s",
            "commands: 1",
            "  2026-12-07T14:00:01.000+00:00  command: current 2.40 A  pulse 3.25 ns  frequency 300 kHz  trigger external",
            "1 row skipped: line 11"}));
        QCOMPARE(json.finish(), 0);
        const QJsonObject o = QJsonDocument::fromJson(json.lines.value(0).toUtf8()).object();
        QCOMPARE(o["stale"].toObject()["total_s"].toDouble(), 2.5);
        QCOMPARE(o["alarms"].toArray()[0].toObject()["duration_s"].toDouble(), 6.0);
        QCOMPARE(o["skipped_lines"].toArray(), QJsonArray{11});
        Ctl foreign({"summary", SOURCE_DIR "/README.md"});
        QCOMPARE(foreign.finish(), 1);
        QVERIFY2(foreign.err.contains("README.md: not a recording: line 3 is neither the column line"), qPrintable(foreign.err));
    }

    // The bash completion offers what the program's table holds: the
    // commands, each command's options, an option's values.
    void completion_data()
    {
        QTest::addColumn<QStringList>("words");   // after laserctl; the last one is being completed
        QTest::addColumn<QString>("offered");
        QTest::newRow("commands") << QStringList{""} << "ports detect status monitor set panels history summary limits";
        QTest::newRow("status's options") << QStringList{"status", "--"} << "--port --json --timeout --no-panel --variant";
        QTest::newRow("trigger's values") << QStringList{"set", "--trigger", ""} << "internal external";
        QTest::newRow("seconds: none") << QStringList{"monitor", "--duration", ""} << "";
    }
    void completion()
    {
        QFETCH(QStringList, words);
        const QString script = R"(_init_completion() { words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; cur=${words[cword]}; prev=${words[cword-1]}; }
            source "$0"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _laserctl "$1"; echo "${COMPREPLY[*]}")";
        Ctl bash(QStringList{"-c", script, SOURCE_DIR "/laserctl/laserctl.bash", LASERCTL_PATH} + words, "bash");
        QCOMPARE(bash.finish(), 0);
        QTEST(bash.lines.value(0), "offered");
    }

    // laserctl(1)'s EXIT STATUS lists the exit codes as the program's table
    // has them, and so does any README section on exit codes (today none).
    void exitCodesDocumented()
    {
        QStringList table;
        for (const ctl::ExitCode &e : ctl::kExitCodes)
            table << QString::number(e.code) + ' ' + e.meaning;
        const QString man = textOf(SOURCE_DIR "/docs/man/laserctl.1").replace("\\-", "-");
        QCOMPARE(entries(man.section(".SH EXIT STATUS\n", 1).section("\n.SH ", 0, 0), "^\\.TP\\n\\.B (\\d+)\\n(.+)$"), table);
        for (const QString &section : textOf(SOURCE_DIR "/README.md").split(QRegularExpression("(?m)^#+ ")))
            if (section.section('\n', 0, 0).contains("exit", Qt::CaseInsensitive))
                QCOMPARE(entries(section, "^[-*| ]*`?(\\d+)`?[ :|]+(.+?)[ |]*$"), table);
    }
};

QTEST_GUILESS_MAIN(LaserctlTest)
#include "tst_laserctl.moc"
