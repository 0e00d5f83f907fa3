// laserctl as its user runs it: the real program against the simulated laser
// and raw pseudo-terminals, judged by its output, exit codes and the bytes it
// puts on the line.
#include "csvrecord.h"
#include "ctl.h"
#include "ptypair.h"
#include "simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QSignalSpy>
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
    bool ready() { return QTest::qWaitFor([this] { return has("link: "); }, 5000); }
};

// laserctl as a child process; its output lines gathered as they come.
struct Ctl
{
    explicit Ctl(const QStringList &args)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine())
                lines << QString::fromUtf8(process.readLine()).chopped(1);
        });
        process.start(LASERCTL_PATH, args);
    }
    ~Ctl()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
    // Exit code once it ends within timeoutMs, -1 if it does not.
    int finish(int timeoutMs = 10000)
    {
        if (!QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, timeoutMs))
            return -1;
        lines.append(QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));
        err += QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    bool waitForLine(const QString &part, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return !find(part).isNull(); }, timeoutMs);
    }
    QString find(const QString &part) const
    {
        for (const QString &line : lines)
            if (line.contains(part))
                return line;
        return QString();
    }
    void signal(int sig) { ::kill(pid_t(process.processId()), sig); }

    QProcess process;
    QStringList lines;
    QString err;
};

QString hexOf(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }
} // namespace

class LaserctlTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // What reaches the line, byte for byte, in both variants.
    void setFrames_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("shown");   // part of the effective-value line

        QTest::newRow("v1.3 defaults") << QStringList{"--variant", "v1.3"}
            << "A5 5A 00 00 22 00 00 14 1E 00 00 FA FB" << "current 0.00 A  pulse 5.00 ns  frequency 300 kHz  trigger internal";
        QTest::newRow("v1.2 defaults") << QStringList{"--variant", "v1.2"}
            << "A5 5A 00 00 22 00 00 14 03 00 00 FA FB" << "frequency 300 kHz";
        QTest::newRow("v1.3 all given") << QStringList{"--variant", "v1.3", "--current", "2.4", "--pulse", "3.25", "--freq", "500", "--trigger", "external"}
            << "A5 5A 01 0C 22 00 00 0D 32 00 00 FA FB" << "current 2.40 A  pulse 3.25 ns  frequency 500 kHz  trigger external";
        QTest::newRow("v1.3 between steps truncates") << QStringList{"--variant", "v1.3", "--current", "2.59", "--pulse", "3.49", "--freq", "309"}
            << "A5 5A 00 0C 22 00 00 0D 1E 00 00 FA FB" << "current 2.40 A  pulse 3.25 ns  frequency 300 kHz";
        QTest::newRow("v1.3 top of every range") << QStringList{"--variant", "v1.3", "--current", "7", "--pulse", "15", "--freq", "1000"}
            << "A5 5A 00 23 22 00 00 3C 64 00 00 FA FB" << "current 7.00 A  pulse 15.00 ns  frequency 1000 kHz";
        QTest::newRow("v1.2 bottom of the frequency") << QStringList{"--variant", "v1.2", "--freq", "100"}
            << "A5 5A 00 00 22 00 00 14 01 00 00 FA FB" << "frequency 100 kHz";
    }

    void setFrames()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, frame);
        QFETCH(QString, shown);
        Pty pty;
        QVERIFY(pty.isValid());
        Ctl ctl(QStringList{"set", "-p", pty.slaveName()} + args);
        QCOMPARE(hexOf(pty.readAtLeast(13, 10000)), frame);
        QCOMPARE(ctl.finish(), 0);
        QCOMPARE(ctl.find("sent to "), "sent to " + pty.slaveName() + ": " + frame);
        QVERIFY2(!ctl.find(shown).isNull(), qPrintable(ctl.lines.join('\n')));
        QCOMPARE(hexOf(pty.readAvailable(0)), QString());   // one frame only
    }

    void setDryRunNeedsNoPort()
    {
        Ctl ctl({"set", "--dry-run", "--current", "2.45", "--variant", "v1.2"});
        QCOMPARE(ctl.finish(), 0);
        QCOMPARE(ctl.find("frame"), QString("frame (dry run, not sent): A5 5A 00 0C 22 00 00 14 03 00 00 FA FB"));
        QVERIFY2(!ctl.find("note: current 2.45 A is sent as 2.40 A").isNull(), qPrintable(ctl.lines.join('\n')));
    }

    // Refused with exit 2 and the reason; nothing reaches the line.
    void usageRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");

        // Each gets -p with a real port unless it ends in "no port".
        QTest::newRow("current above") << QStringList{"set", "--current", "7.01"} << "--current 7.01 A is outside the panel's range 0.00 to 7.00 A";
        QTest::newRow("pulse below") << QStringList{"set", "--pulse", "2.99"} << "--pulse 2.99 ns is outside the panel's range 3.00 to 15.00 ns";
        QTest::newRow("pulse of 0 steps") << QStringList{"set", "--pulse", "0.2"} << "range 3.00 to 15.00 ns";
        QTest::newRow("v1.3 freq below a step") << QStringList{"set", "--variant", "v1.3", "--freq", "9"} << "--freq 9 kHz is outside the panel's range 10 to 1000 kHz (v1.3)";
        QTest::newRow("v1.2 freq above") << QStringList{"set", "--variant", "v1.2", "--freq", "1100"} << "range 100 to 1000 kHz";
        QTest::newRow("freq not whole") << QStringList{"set", "--freq", "305.5"} << "--freq: '305.5' is not a whole number of kHz";
        QTest::newRow("current NaN") << QStringList{"set", "--current", "nan"} << "is not a number";
        QTest::newRow("trigger word") << QStringList{"set", "--trigger", "both"} << "neither internal nor external";
        QTest::newRow("variant") << QStringList{"set", "--variant", "v2"} << "neither v1.3 nor v1.2";
        QTest::newRow("verify without sending, no port") << QStringList{"set", "--dry-run", "--verify"} << "drop --dry-run";
        QTest::newRow("option of another command") << QStringList{"status", "--current", "1"} << "status: --current does not apply";
        QTest::newRow("unknown command") << QStringList{"fire"} << "unknown command 'fire'";
        QTest::newRow("monitor, no port") << QStringList{"monitor"} << "monitor needs a port";
        QTest::newRow("timeout not positive") << QStringList{"status", "--timeout", "0"} << "--timeout: '0' is not a number of seconds";
        QTest::newRow("csv and json") << QStringList{"monitor", "--csv", "--json"} << "choose one";
    }

    void usageRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        Pty pty;
        QVERIFY(pty.isValid());
        if (!QString(QTest::currentDataTag()).endsWith("no port"))
            args << "-p" << pty.slaveName();
        Ctl ctl(args);
        QCOMPARE(ctl.finish(), 2);
        QVERIFY2(ctl.err.contains(message), qPrintable(ctl.err));
        QCOMPARE(pty.readAvailable(0), QByteArray());
    }

    // Every failure names the port, says why, and has its own code.
    void portErrors_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("port");   // "busy": a pty held open here
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");

        for (const QString command : {"status", "monitor", "set", "detect"}) {
            const QByteArray c = command.toLatin1();
            const int missing = 4, notSerial = 7, busy = 6;
            QTest::addRow("%s: missing", c.constData()) << command << dir.filePath("absent") << missing << "missing";
            QTest::addRow("%s: regular file", c.constData()) << command << QString(LASERCTL_PATH) << notSerial << "not a character device";
            QTest::addRow("%s: /dev/null", c.constData()) << command << "/dev/null" << notSerial << "memory device";
            QTest::addRow("%s: busy", c.constData()) << command << "busy" << busy << "busy";
        }
        QTest::newRow("status: /dev/ptmx") << "status" << "/dev/ptmx" << 7 << "not a serial device";
        QTest::newRow("status: control character") << "status" << "/dev/pts/0\n" << 7 << "control character";
    }

    void portErrors()
    {
        QFETCH(QString, command);
        QFETCH(QString, port);
        QFETCH(int, code);
        QFETCH(QString, reason);
        Pty pty;
        QSerialPort holder;
        if (port == "busy") {
            port = pty.slaveName();
            holder.setPortName(port);
            QVERIFY(holder.open(QIODevice::ReadWrite));
        }
        Ctl ctl(command == "detect" ? QStringList{"detect", "--listen", "0.2", port} : QStringList{command, "-p", port});
        QCOMPARE(ctl.finish(), code);
        const QString all = ctl.err + ctl.lines.join('\n');
        const QString shownPort = QString(port).replace("\n", "\\x0a");
        QVERIFY2(all.contains(shownPort + ": ") || all.contains(shownPort + "  cannot open: "), qPrintable(all));
        QVERIFY2(all.contains(reason), qPrintable(all));
    }

    void permissionDenied()
    {
        // Root opens anything; an unprivileged user is refused by the file's mode.
        if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        Pty pty;
        QVERIFY(::chmod(QFile::encodeName(pty.slaveName()).constData(), 0600) == 0);
        QProcess p;
        p.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", LASERCTL_PATH, "status", "-p", pty.slaveName()});
        QVERIFY(p.waitForFinished(10000));
        if (p.exitCode() == 127 || p.readAllStandardError().contains("setpriv:"))
            QSKIP("cannot run the program as another user here");
        QCOMPARE(p.exitCode(), 5);
    }

    void status()
    {
        Pty pty;
        Ctl ctl({"status", "--json", "-p", pty.slaveName()});
        // Noise, then a frame split across writes, once laserctl listens.
        QVERIFY(QTest::qWaitFor([&] { pty.write(kNoise + kFrame.left(5)); pty.write(kFrame.mid(5)); return ctl.finish(50) == 0; }, 10000));
        QCOMPARE(ctl.lines.size(), 1);
        const QJsonObject o = QJsonDocument::fromJson(ctl.lines[0].toUtf8()).object();
        QCOMPARE(o.value("kind").toString(), QString("status"));
        QCOMPARE(o.value("current_A").toDouble(), 2.35);
        QCOMPARE(o.value("temperature_C").toInt(), 20);
        QCOMPARE(o.value("trigger").toString(), QString("external"));
        QCOMPARE(o.value("pump_supply").toString(), QString("normal"));
        QCOMPARE(o.value("tec").toString(), QString("locked"));
        QVERIFY(QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs).isValid());
    }

    void statusTimeout_data()
    {
        QTest::addColumn<bool>("noise");
        QTest::newRow("silent port") << false;
        QTest::newRow("port of noise") << true;
    }

    void statusTimeout()
    {
        QFETCH(bool, noise);
        Pty pty;
        QElapsedTimer clock;
        clock.start();
        Ctl ctl({"status", "-p", pty.slaveName(), "--timeout", "0.8"});
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] { pty.write(kNoise); pty.readAvailable(0); });
        if (noise)
            feeder.start(20);
        QCOMPARE(ctl.finish(), 3);
        QVERIFY(clock.elapsed() >= 800);
        QVERIFY2(ctl.err.contains(pty.slaveName() + ": no valid status frame within 0.8 s"), qPrintable(ctl.err));
        QCOMPARE(ctl.err.contains("bytes of noise"), noise);
        QVERIFY(ctl.lines.isEmpty());
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
        QStringList ports{silent.slaveName(), noisy.slaveName()};
        if (withLaser)
            ports.prepend(sim.link);
        Ctl ctl(QStringList{"detect", "--listen", "1"} + ports);
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] { noisy.write(kNoise); });
        feeder.start(20);
        QCOMPARE(ctl.finish(), withLaser ? 0 : 3);
        QVERIFY2(ctl.find(silent.slaveName()).endsWith("no laser: silent for 1.0 s"), qPrintable(ctl.lines.join('\n')));
        QVERIFY2(ctl.find(noisy.slaveName()).contains("none of them a status frame"), qPrintable(ctl.lines.join('\n')));
        if (withLaser) {
            const QString line = ctl.find(sim.link);
            const QRegularExpressionMatch m = QRegularExpression(" laser: ([0-9.]+) frames/s").match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            QVERIFY2(qAbs(m.captured(1).toDouble() - 100) < 15, qPrintable(line));
            QVERIFY(!sim.has("command:"));   // listening sends nothing
        }
    }

    // The simulator hangs up; laserctl reports it in the chosen format and
    // ends non-zero.
    void monitorHangUp_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("lostLine");   // a regular expression
        QTest::newRow("text") << QString() << "^\\S+  lost: .*: the port went away";
        QTest::newRow("json") << "--json" << "^\\{.*\"kind\":\"lost\".*\\}$";
        QTest::newRow("csv") << "--csv" << "^\\S+,lost,,,,,,,,,,.*the port went away";
    }

    void monitorHangUp()
    {
        QFETCH(QString, format);
        QFETCH(QString, lostLine);
        Sim sim({"--rate", "50", "--hangup-after", "1"});
        QVERIFY(sim.ready());
        Ctl ctl(QStringList{"monitor", "-p", sim.link} + (format.isEmpty() ? QStringList{} : QStringList{format}));
        QCOMPARE(ctl.finish(), 8);
        QVERIFY2(ctl.err.contains(sim.link + ": link lost"), qPrintable(ctl.err));
        QVERIFY(ctl.lines.size() >= 2);
        QVERIFY2(QRegularExpression(lostLine).match(ctl.lines.last()).hasMatch(), qPrintable(ctl.lines.last()));
    }

    // At the line's full rate reads are gathered; none of the frames is lost,
    // split or garbled.
    void monitorLineRate_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("clean") << QStringList{};
        QTest::newRow("split, with noise") << QStringList{"--split", "--garbage"};
    }

    void monitorLineRate()
    {
        QFETCH(QStringList, faults);
        Sim sim(faults + QStringList{"--rate", "886", "--count", "1500"});
        QVERIFY(sim.ready());
        Ctl ctl({"monitor", "--json", "-p", sim.link});
        QCOMPARE(ctl.finish(20000), 8);   // the simulator hangs up after the last frame
        QTRY_VERIFY_WITH_TIMEOUT(sim.has("sent: "), 5000);
        QVERIFY(sim.number("sent: ") >= 1500);
        QCOMPARE(ctl.lines.filter("\"kind\":\"status\"").size(), int(sim.number("sent: ")));
    }

    // With --reconnect the line drops, a new one appears under the same name,
    // and the monitor goes on until stopped.
    void monitorReconnects()
    {
        const QString link = dir.filePath("reconnect");
        auto first = std::make_unique<Pty>();
        QVERIFY(QFile::link(first->slaveName(), link));
        Ctl ctl({"monitor", "--json", "--reconnect", "-p", link});
        QVERIFY(QTest::qWaitFor([&] { first->write(kFrame); return ctl.lines.size() >= 2; }, 5000));
        first.reset();   // hang up
        QVERIFY(ctl.waitForLine("\"kind\":\"lost\""));
        Pty second;
        QVERIFY(QFile::remove(link) && QFile::link(second.slaveName(), link));
        QVERIFY(ctl.waitForLine("\"kind\":\"open\""));
        const int before = ctl.lines.size();
        QVERIFY(QTest::qWaitFor([&] { second.write(kFrame); return ctl.lines.size() > before + 2; }, 5000));
        ctl.signal(SIGTERM);
        QCOMPARE(ctl.finish(), 0);
        QVERIFY2(ctl.lines.last().contains("\"kind\":\"status\""), qPrintable(ctl.lines.last()));
    }

    void monitorStaleAndRecovered()
    {
        Pty pty;
        Ctl ctl({"monitor", "-p", pty.slaveName()});
        QVERIFY(QTest::qWaitFor([&] { pty.write(kFrame); return ctl.lines.size() >= 3; }, 5000));
        // Silence past the 2 s floor of the stale rule.
        QVERIFY(ctl.waitForLine("  stale: no status frame for", 6000));
        QVERIFY(ctl.find("recovered").isNull());
        pty.write(kFrame);
        QVERIFY(ctl.waitForLine("  recovered: status frames again after"));
        ctl.signal(SIGINT);
        QCOMPARE(ctl.finish(), 0);
    }

    // The panel's recording format, and the file complete after a stop signal.
    void monitorCsvFile_data()
    {
        QTest::addColumn<int>("stop");   // a signal, or 0 for --duration
        QTest::newRow("duration") << 0;
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }

    void monitorCsvFile()
    {
        QFETCH(int, stop);
        Sim sim({"--rate", "100", "--variant", "v1.2"});
        QVERIFY(sim.ready());
        const QString file = dir.filePath(QString("record-%1.csv").arg(stop));
        QStringList args{"monitor", "--csv", "--variant", "v1.2", "-p", sim.link, "--output", file};
        if (!stop)
            args << "--duration" << "1";
        Ctl ctl(args);
        if (stop) {
            QVERIFY(QTest::qWaitFor([&] { QFile f(file); return f.size() > 8000; }, 5000));
            ctl.signal(stop);
        }
        QCOMPARE(ctl.finish(), 0);
        QVERIFY(ctl.lines.isEmpty());

        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        QVERIFY(all.endsWith('\n'));
        const QStringList lines = QString::fromUtf8(all).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 50);
        QCOMPARE(lines.mid(0, 3), (QStringList{"# program: laserctl 1.3", "# variant: v1.2", "# port: " + sim.link}));
        QVERIFY(lines[3].startsWith("# started: "));
        QCOMPARE(lines[4], laser::csv::columns());
        const QStringList columns = laser::csv::columns().split(',');
        for (const QString &line : lines.mid(5)) {
            const QStringList cells = line.split(',');
            QCOMPARE(cells.size(), columns.size());
            QCOMPARE(cells[columns.indexOf("kind")], QString("status"));
            QVERIFY2(QDateTime::fromString(cells[0], Qt::ISODateWithMs).isValid(), qPrintable(line));
            QVERIFY2(QRegularExpression("^\\d+\\.\\d\\d$").match(cells[columns.indexOf("current_A")]).hasMatch(), qPrintable(line));
            QVERIFY(QStringList({"internal", "external"}).contains(cells[columns.indexOf("trigger")]));
        }
    }

    // Against the simulated laser, which ramps its pump and echoes the trigger.
    void setVerifyFollows()
    {
        Sim sim({"--rate", "50", "--ramp", "10"});
        QVERIFY(sim.ready());
        Ctl ctl({"set", "--verify", "--tolerance", "0.02", "-p", sim.link, "--current", "2.4", "--trigger", "external"});
        QCOMPARE(ctl.finish(15000), 0);
        QCOMPARE(ctl.lines.mid(ctl.lines.size() - 3), (QStringList{"trigger: external, as set",
            "pump current: 2.40 A reported for 2.40 A set, 0.00 A off (tolerance 0.02 A)", "verified"}));
        QTRY_VERIFY_WITH_TIMEOUT(sim.has("command:"), 5000);
    }

    // A laser that keeps reporting 2.35 A and external trigger, whatever it is sent.
    void setVerifyJudges_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("verdict");
        QTest::newRow("agrees within the tolerance") << QStringList{"--current", "2.4", "--trigger", "external"} << 0
            << QStringList{"trigger: external, as set", "pump current: 2.35 A reported for 2.40 A set, 0.05 A off (tolerance 0.10 A)", "verified"};
        QTest::newRow("trigger differs") << QStringList{"--current", "2.4"} << 9
            << QStringList{"trigger: external reported, but internal was set", "pump current: 2.35 A reported for 2.40 A set, 0.05 A off (tolerance 0.10 A)", "NOT verified"};
        QTest::newRow("current differs") << QStringList{"--current", "3", "--trigger", "external"} << 9
            << QStringList{"trigger: external, as set", "pump current: 2.35 A reported for 3.00 A set, 0.65 A off (tolerance 0.10 A)", "NOT verified"};
        QTest::newRow("tighter tolerance") << QStringList{"--current", "2.4", "--trigger", "external", "--tolerance", "0.04"} << 9
            << QStringList{"trigger: external, as set", "pump current: 2.35 A reported for 2.40 A set, 0.05 A off (tolerance 0.04 A)", "NOT verified"};
    }

    void setVerifyJudges()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QStringList, verdict);
        Pty pty;
        Ctl ctl(QStringList{"set", "--verify", "--timeout", "0.5", "-p", pty.slaveName()} + args);
        QCOMPARE(pty.readAtLeast(13, 10000).size(), 13);
        QVERIFY(QTest::qWaitFor([&] { pty.write(kFrame); return ctl.process.state() == QProcess::NotRunning; }, 10000));
        QCOMPARE(ctl.finish(), code);
        QCOMPARE(ctl.lines.mid(ctl.lines.size() - 3), verdict);
    }

    void setVerifyWithoutLaser()
    {
        Pty pty;
        Ctl ctl({"set", "--verify", "--timeout", "0.5", "-p", pty.slaveName()});
        QCOMPARE(hexOf(pty.readAtLeast(13, 10000)).size(), 38);
        QCOMPARE(ctl.finish(), 3);
        QVERIFY2(ctl.err.contains("no status frame within 0.5 s"), qPrintable(ctl.err));
    }

    // The per-second cache gives the text isoTime gives, across second,
    // offset and daylight-saving changes, in zones east and west of UTC.
    void timeStamps_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QList<qint64>>("times");
        const qint64 berlinSpring = 1774746000000;   // 2026-03-29 01:00 UTC, clocks go 02:00 -> 03:00
        QTest::newRow("UTC") << QByteArray("UTC") << QList<qint64>{0, 1, 999, 1000, 1001, 1781234567009};
        QTest::newRow("Berlin, daylight saving starts") << QByteArray("Europe/Berlin")
            << QList<qint64>{berlinSpring - 1001, berlinSpring - 1, berlinSpring, berlinSpring + 1, berlinSpring + 999};
        QTest::newRow("St John's, -03:30") << QByteArray("America/St_Johns") << QList<qint64>{1781234567000, 1781234567890};
        QTest::newRow("before 1970") << QByteArray("Asia/Kolkata") << QList<qint64>{-1, -999, -1000, -1001};
    }

    void timeStamps()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QList<qint64>, times);
        const QByteArray saved = qgetenv("TZ");
        qputenv("TZ", zone);
        ctl::TimeStamps stamps;
        for (qint64 ms : times)
            QCOMPARE(stamps.at(ms), laser::csv::isoTime(QDateTime::fromMSecsSinceEpoch(ms)));
        saved.isEmpty() ? qunsetenv("TZ") : qputenv("TZ", saved);
    }

    void portsAndHelp()
    {
        Ctl ports({"ports"});
        QCOMPARE(ports.finish(), 0);
        if (!ports.lines.isEmpty())
            QVERIFY(ports.lines.first().startsWith("PORT"));
        Ctl help({"--help"});
        QCOMPARE(help.finish(), 0);
        for (int code = 0; code <= 9; ++code)
            QVERIFY2(!help.find(QString("  %1  ").arg(code)).isNull(), qPrintable(QString::number(code)));
    }
};

QTEST_GUILESS_MAIN(LaserctlTest)
#include "tst_laserctl.moc"
