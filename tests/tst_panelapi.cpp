// Scripts on the panel's local socket: the real window on a pseudo-terminal
// that plays the laser, raw clients, laserctl as a child, and a panel in a
// process of its own for the socket's lifetime.
#include "childprocess.h"
#include "linklogwindow.h"
#include "panelserver.h"
#include "panelsocket.h"
#include "probe.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// 2.35 A, 20 °C, external trigger, supply normal, TEC locked.
const QByteArray kFrame = QByteArray::fromHex("A55A 0030 01 00 0465 0000 03 EEFF");

// The window serving a pty that reports kFrame every 20 ms, or the port given.
struct Panel
{
    // `allowed`: scripts may send commands, chosen before the Open.
    explicit Panel(const QString &port = QString(), bool allowed = false)
    {
        allow(allowed);
        p.open(port.isEmpty() ? pty.slaveName() : port);
        QObject::connect(&feeder, &QTimer::timeout, [this] { pty.write(frame); });
        feeder.start(20);
    }
    laser::PanelServer *server() { return w.findChild<laser::PanelServer *>(); }
    QString socket() const { return laser::panel::socketName(pty.slaveName()); }
    void allow(bool on)
    {
        for (QAction *a : p.monitor()->contextMenu()->actions())
            if (a->text() == QLatin1String("Allow scripts to send commands"))
                a->setChecked(on);
    }
    Pty pty;
    MainWindow w;
    MainWindowProbe p{w};
    QTimer feeder;
    QByteArray frame = kFrame;   // what the feeder sends
};

// A script: request lines out, every object that comes back kept in order.
struct Script
{
    explicit Script(const QString &name)
    {
        QObject::connect(&s, &QLocalSocket::readyRead, [this] {
            while (s.canReadLine())
                got << QJsonDocument::fromJson(s.readLine()).object();
        });
        s.connectToServer(name);
        s.waitForConnected(2000);
    }
    QJsonObject call(const QByteArray &line)
    {
        const int before = replies();
        s.write(line + '\n');
        (void)QTest::qWaitFor([&] { return replies() > before || s.state() != QLocalSocket::ConnectedState; }, 5000);
        return replies() > before ? last("ok") : QJsonObject();
    }
    int replies() const { return int(std::count_if(got.begin(), got.end(), [](const QJsonObject &o) { return o.contains("ok"); })); }
    // The last object with that key, and that value if one is given.
    QJsonObject last(const QString &key, const QString &value = QString()) const
    {
        for (auto it = got.rbegin(); it != got.rend(); ++it)
            if (it->contains(key) && (value.isNull() || it->value(key) == value))
                return *it;
        return {};
    }
    QLocalSocket s;
    QList<QJsonObject> got;
};

// "a/b" reads o["a"]["b"]; the text of what is there.
QString at(const QJsonObject &o, const QString &path)
{
    QJsonValue v = o;
    for (const QString &key : path.split('/'))
        v = v.isArray() ? v.toArray().at(key.toInt()) : v.toObject().value(key);
    return v.isString() ? v.toString() : QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

// A raw client that reads only when told to; -1 when it cannot connect.
int connectTo(const QByteArray &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    return ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 ? fd : -1;
}

// In a forked child: connect to `path`, as uid 65534 when `asOther`, with
// the capability to pass file permissions when `passPermissions`, and say
// hello. 10: no connection; 20: connected, then closed unanswered; 30: answered.
int helloFromChild(const QByteArray &path, bool asOther, bool passPermissions)
{
    if (passPermissions)
        ::prctl(PR_SET_KEEPCAPS, 1);
    if (asOther && (::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 1;
    if (passPermissions) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        data[0].effective = data[0].permitted = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        if (::syscall(SYS_capset, &header, data) != 0)
            return 2;
    }
    const int fd = connectTo(path);
    if (fd < 0)
        return 10;
    const char hello[] = "{\"op\":\"hello\"}\n";
    [[maybe_unused]] ssize_t n = ::write(fd, hello, sizeof hello - 1);
    pollfd p{fd, POLLIN, 0};
    char byte;
    return ::poll(&p, 1, 5000) == 1 && ::read(fd, &byte, 1) == 1 ? 30 : 20;
}
} // namespace

// Sockets and settings of this run only, in place before the application
// reads them; children inherit them.
struct OwnFolders
{
    OwnFolders()
    {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("XDG_DATA_HOME", config.path().toUtf8());
    }
    QTemporaryDir runtime, config;
} const folders;

class PanelApiTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { dropDebugMessages(); }
    void cleanup() { writeLimits(QString()); }

    // One request and its reply; the window has sent 2.00 A and shows 5.00 A
    // typed but unsent, scripts allowed or not, under limits of 5.00 A and a
    // rise of 2.00 A; "frame" is what reaches the line, if anything.
    void requests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QStringList>("reply");   // path=value
        QTest::addColumn<QByteArray>("frame");
        const int f = variant::kFreqInitialSteps;
        const QString v = variant::kName;
        QTest::newRow("hello") << QByteArray(R"({"op":"hello","id":1})") << false
            << QStringList{"ok=true", "id=1", "program=laserpanel", "variant=" + v, "commands_allowed=false"} << QByteArray();
        QTest::newRow("status") << QByteArray(R"({"op":"status","id":"op"})") << false
            << QStringList{"id=op", "state=live", "status/kind=status", "status/current_A=2.35", "status/trigger=external", "alarms=[]"} << QByteArray();
        QTest::newRow("set, refused") << QByteArray(R"({"op":"set","id":2,"current":3})") << false
            << QStringList{"ok=false", "id=2", "code=refused"} << QByteArray();
        QTest::newRow("set, allowed") << QByteArray(R"({"op":"set","current":2.45,"pulse":"3.3","freq":300,"trigger":"external"})") << true
            << QStringList{"ok=true", "sent/set_current_A=2.4", "sent/set_pulse_ns=3.25", "sent/set_freq_kHz=300", "sent/set_trigger=external", "notes/0=current 2.45 A is sent as 2.40 A (steps of 0.20 A)"}
            << commandFrame(1, 12, 13, 300 / variant::kFreqStepKHz);
        QTest::newRow("set keeps what is not given") << QByteArray(R"({"op":"set","pulse":5})") << true
            << QStringList{"sent/set_current_A=2", "sent/set_trigger=internal"} << commandFrame(0, 10, 20, f);
        QTest::newRow("set out of range") << QByteArray(R"({"op":"set","current":7.01})") << true
            << QStringList{"code=bad_value", "message=current 7.01 A is outside the panel's range 0.00 to 7.00 A"} << QByteArray();
        QTest::newRow("set beyond the limit") << QByteArray(R"({"op":"set","current":5.2})") << true << QStringList{"code=beyond_limit"} << QByteArray();
        QTest::newRow("set the largest rise") << QByteArray(R"({"op":"set","current":4})") << true << QStringList{"ok=true"} << commandFrame(0, 20, 20, f);
        QTest::newRow("set a step past it") << QByteArray(R"({"op":"set","current":4.2})") << true
            << QStringList{"code=beyond_limit", "message=current 4.20 A would rise from 2.00 A by more than the 2.00 A one command may (" + qEnvironmentVariable("XDG_CONFIG_DIRS") + "/laserpanel/limits.conf [all])"} << QByteArray();
        QTest::newRow("set misspelt") << QByteArray(R"({"op":"set","curent":1})") << true << QStringList{"code=bad_request"} << QByteArray();
        QTest::newRow("set, wrong type") << QByteArray(R"({"op":"set","freq":[300]})") << true << QStringList{"code=bad_request"} << QByteArray();
        QTest::newRow("unknown op") << QByteArray(R"({"op":"fire","id":9})") << true << QStringList{"code=bad_request", "id=9"} << QByteArray();
        // From 2^53 on a number would come back as another one.
        QTest::newRow("id -(2^53 - 1)") << QByteArray(R"({"op":"hello","id":-9007199254740991})") << true << QStringList{"ok=true", "id=-9007199254740991"} << QByteArray();
        QTest::newRow("id 2^53 + 1") << QByteArray(R"({"op":"hello","id":9007199254740993})") << true << QStringList{"code=bad_request"} << QByteArray();
        QTest::newRow("key given twice") << QByteArray(R"({"op":"set","current":1,"curr\u0065nt":6.8})") << true << QStringList{"code=bad_request"} << QByteArray();
        QTest::newRow("not JSON") << QByteArray("{\"op\":") << true << QStringList{"ok=false", "code=bad_json"} << QByteArray();
        // A line may hold 4 KiB, not a byte more.
        const QByteArray hello = R"({"op":"hello")";
        QTest::newRow("4 KiB") << hello + QByteArray(4096 - 14, ' ') + '}' << true << QStringList{"ok=true"} << QByteArray();
        QTest::newRow("4 KiB and a byte") << hello + QByteArray(4097 - 14, ' ') + '}' << true << QStringList{"code=too_long"} << QByteArray();
    }
    void requests()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, allowed);
        QFETCH(QStringList, reply);
        QFETCH(QByteArray, frame);
        writeLimits("[all]\ncurrent_max = 5\ncurrent_rise_max = 2\n");
        Panel panel;
        QSignalSpy notes(panel.server(), &laser::PanelServer::note);
        panel.p.ui().scroll_current->setValue(10);
        panel.p.ui().button_current_in->click();
        panel.p.ui().edit_current_in->setText("5");
        panel.allow(allowed);
        QTRY_VERIFY(panel.server()->linkState() == "live");
        QCOMPARE(panel.pty.readAtLeast(13).toHex(' '), commandFrame(0, 10, 20, variant::kFreqInitialSteps).toHex(' '));
        Script script(panel.socket());
        const QJsonObject got = script.call(request);
        for (const QString &pair : reply)
            QVERIFY2(at(got, pair.section('=', 0, 0)) == pair.section('=', 1), qPrintable(QJsonDocument(got).toJson()));
        const bool logged = std::any_of(notes.begin(), notes.end(), [&](const QList<QVariant> &n) {
            return n.at(1).toString().endsWith("refused: " + at(got, "message"));
        });
        // A refused command is in the link log too.
        QCOMPARE(logged, at(got, "code") == "beyond_limit" || at(got, "code") == "refused");
        // Still answering after every kind of request.
        QCOMPARE(script.call(R"({"op":"hello"})").value("ok").toBool(), true);
        QCOMPARE((frame.isEmpty() ? panel.pty.readAvailable() : panel.pty.readAtLeast(13)).toHex(' '), frame.toHex(' '));
        if (!frame.isEmpty()) {   // the fields show what was sent, as after the operator's Send
            QCOMPARE(panel.p.ui().edit_message->text(), QStringLiteral("数据写入成功（脚本 %1）").arg(QCoreApplication::applicationPid()));
            QCOMPARE(panel.p.ui().edit_current_in->text(), QString::number(at(got, "sent/set_current_A").toDouble(), 'f', 2));
            QCOMPARE(panel.p.ui().edit_pw_in->text(), QString::number(at(got, "sent/set_pulse_ns").toDouble(), 'f', 2));
            QCOMPARE(panel.p.ui().comboBox_button_touchOff->currentIndex(), at(got, "sent/set_trigger") == "external" ? 1 : 0);
        }
    }

    // A subscriber sees status, the operator's commands and the link's
    // events, Stop as "paused", and the end of the link; then the socket is gone.
    void subscribe()
    {
        Panel panel;
        Script script(panel.socket());
        QVERIFY(QFile::exists(panel.socket()));
        QCOMPARE(at(script.call(R"({"op":"subscribe","id":1})"), "subscribed"), QString("true"));
        QTRY_COMPARE(at(script.last("kind", "status"), "current_A"), QString("2.35"));
        panel.p.ui().scroll_current->setValue(12);
        panel.p.ui().button_current_in->click();
        QTRY_COMPARE(at(script.last("kind", "command"), "set_current_A"), QString("2.4"));
        panel.p.ui().stop_button->click();
        QCOMPARE(at(script.call(R"({"op":"status"})"), "state"), QString("paused"));
        panel.p.ui().start_button->click();
        QCOMPARE(at(script.call(R"({"op":"status"})"), "state"), QString("live"));
        // Two faults from one frame, the lost lock among them: the panel,
        // its status and laserctl through it name both.
        panel.frame = QByteArray::fromHex("A55A 0030 01 00 0465 0000 00 EEFF");
        QTRY_COMPARE(at(script.call(R"({"op":"status"})"), "alarms"), QString(R"(["pump_supply","tec_lock"])"));
        QCOMPARE(panel.p.ui().edit_message->text(), QStringLiteral("报警：泵浦电源异常、TEC 失锁"));
        Child ctl(LASERCTL_PATH, {"status", "-p", panel.pty.slaveName()});
        QCOMPARE(ctl.finish(), 10);
        QVERIFY2(ctl.all().contains("alarms            pump_supply, tec_lock"), qPrintable(ctl.all()));
        panel.p.ui().button_close->click();
        QTRY_COMPARE(at(script.last("kind", "close"), "detail"), panel.pty.slaveName());
        QTRY_COMPARE(script.s.state(), QLocalSocket::UnconnectedState);
        QVERIFY(!QFile::exists(panel.socket()));
    }

    // Seven bad requests are answered; the eighth closes the connection.
    void repeatedErrors_data()
    {
        QTest::addColumn<int>("bad");
        QTest::addColumn<bool>("open");
        QTest::newRow("7") << 7 << true;
        QTest::newRow("8") << 8 << false;
    }
    void repeatedErrors()
    {
        QFETCH(int, bad);
        Panel panel;
        Script script(panel.socket());
        script.s.write(QByteArray("nonsense\n").repeated(bad));
        QTRY_COMPARE(script.replies(), bad);
        QTEST(!script.call(R"({"op":"hello"})").isEmpty(), "open");
    }

    // A line unfinished for the limit, though its bytes keep coming, closes its
    // connection; a subscriber whose lines all ended, though it sent its last byte first, stays.
    void unfinishedLine()
    {
        Panel panel;
        panel.server()->setUnfinishedLineLimit(300);
        Script subscriber(panel.socket()), slow(panel.socket());
        subscriber.s.write("{\"op\":\"hello\"}\n{\"op\":\"subscr");
        QTRY_COMPARE(subscriber.replies(), 1);
        QCOMPARE(at(subscriber.call("ibe\"}"), "subscribed"), QString("true"));
        QTimer drip;   // a byte at a time, the line never ending
        QObject::connect(&drip, &QTimer::timeout, [&] { slow.s.write("{"); });
        drip.start(50);
        QTRY_COMPARE(slow.s.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(subscriber.s.state(), QLocalSocket::ConnectedState);
    }

    // Sixteen scripts are served at once; the seventeenth is told so and let
    // go, and laserctl says so, with no more on stderr.
    void seventeenthScript()
    {
        Panel panel;
        std::vector<std::unique_ptr<Script>> scripts;
        for (int i = 0; i < 16; ++i) {
            scripts.push_back(std::make_unique<Script>(panel.socket()));
            QVERIFY(scripts.back()->call(R"({"op":"hello"})").value("ok").toBool());
        }
        Script another(panel.socket());
        QTRY_COMPARE(another.last("ok").value("code").toString(), QStringLiteral("busy"));
        QTRY_COMPARE(another.s.state(), QLocalSocket::UnconnectedState);
        Child ctl(LASERCTL_PATH, {"status", "-p", panel.pty.slaveName()});
        QCOMPARE(ctl.finish(), 6);
        QCOMPARE(ctl.err, "laserctl: " + panel.pty.slaveName() + ": busy: the panel holds it and does not serve this script (the panel serves 16 scripts already)\n");
    }

    // The server comes with the first Open; what the operator chose before
    // it holds there.
    void allowedBeforeOpen()
    {
        Panel panel(QString(), true);
        Script script(panel.socket());
        QCOMPARE(script.call(R"({"op":"hello"})").value("commands_allowed").toBool(), true);
    }

    // A subscriber that reads nothing is dropped with a line in the link
    // log, while the panel's event loop keeps turning and others are served.
    void stalledReaderIsDropped()
    {
        Panel panel;
        QSignalSpy notes(panel.server(), &laser::PanelServer::note);
        const int fd = connectTo(QFile::encodeName(panel.socket()));
        QCOMPARE(::write(fd, "{\"op\":\"subscribe\"}\n", 19), 19);
        panel.feeder.stop();
        QTimer flood;   // about 5 000 frames/s, well within a pty's buffer a tick
        QObject::connect(&flood, &QTimer::timeout, [&] { panel.pty.write(kFrame.repeated(50)); });
        flood.start(10);
        QElapsedTimer clock;
        qint64 lastTick = 0, worstGap = 0;
        QTimer ticker;
        clock.start();
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            worstGap = std::max(worstGap, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        ticker.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(!notes.isEmpty(), 15000);
        QVERIFY2(notes.last().at(1).toString().contains("it stopped reading"), qPrintable(notes.last().at(1).toString()));
        QCOMPARE(panel.server()->clientCount(), 0);
        // The server's notes reach the link log (the window connects them by name).
        panel.p.monitor()->showLinkLog();
        QTRY_VERIFY(panel.p.monitor()->linkLogWindow()->view()->toPlainText().contains("it stopped reading"));
        // A wait on the client would hold it for good; the sanitizers' build is slow.
        QVERIFY2(worstGap < 1000, qPrintable(QString("event loop held up %1 ms").arg(worstGap)));
        Script other(panel.socket());
        QCOMPARE(other.call(R"({"op":"hello"})").value("ok").toBool(), true);
        ::close(fd);
    }

    // laserctl finds the panel from the port alone and goes through it; the
    // lab allows 5.00 A.
    void laserctlThroughThePanel_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("status --json") << QStringList{"status", "--json"} << false << 0
            << QStringList{"through the panel (process PID)", "\"current_A\":2.35,", "\"tec\":\"locked\""} << QByteArray();
        QTest::newRow("monitor --json") << QStringList{"monitor", "--json", "--duration", "1"} << false << 0
            << QStringList{"\"kind\":\"status\"", "\"trigger\":\"external\""} << QByteArray();
        QTest::newRow("set, refused") << QStringList{"set", "--current", "2.4"} << false << 11
            << QStringList{"the panel refuses commands from scripts"} << QByteArray();
        QTest::newRow("set, allowed") << QStringList{"set", "--current", "2.45", "--trigger", "external"} << true << 0
            << QStringList{"note: current 2.45 A is sent as 2.40 A", "sent to PORT through the panel: A5 5A 01 0C",
                           "current 2.40 A  pulse 5.00 ns  frequency 300 kHz  trigger external"}
            << commandFrame(1, 12, 20, variant::kFreqInitialSteps);
        QTest::newRow("set beyond the limits") << QStringList{"set", "--current", "5.2"} << true << 12
            << QStringList{"PORT: current 5.20 A is beyond the limit 5.00 A"} << QByteArray();
        QTest::newRow("status --no-panel") << QStringList{"status", "--no-panel"} << true << 6 << QStringList{"busy"} << QByteArray();
        QTest::newRow("panels") << QStringList{"panels"} << true << 0 << QStringList{"PORT  process PID  " + QString(variant::kName) + "  commands allowed"} << QByteArray();
    }
    void laserctlThroughThePanel()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, allowed);
        QFETCH(QStringList, shown);
        QFETCH(QByteArray, frame);
        writeLimits("[all]\ncurrent_max = 5\n");
        Panel panel;
        panel.allow(allowed);
        panel.pty.readAvailable();
        Child ctl(LASERCTL_PATH, args + (args.first() == "panels" ? QStringList{} : QStringList{"-p", panel.pty.slaveName()}));
        QTEST(ctl.finish(), "code");
        const QString all = ctl.all();
        for (QString part : shown) {
            part.replace("PORT", panel.pty.slaveName()).replace("PID", QString::number(QCoreApplication::applicationPid()));
            QVERIFY2(all.contains(part), qPrintable(all));
        }
        QCOMPARE((frame.isEmpty() ? panel.pty.readAvailable() : panel.pty.readAtLeast(13)).toHex(' '), frame.toHex(' '));
    }

    // The operator's Send beyond the rise allowed: refused in the interface's
    // words, and nothing on the line.
    void operatorRefusal()
    {
        const QString limits = writeLimits("[all]\ncurrent_rise_max = 2\n");
        Panel panel;
        panel.p.ui().scroll_current->setValue(10);
        panel.p.ui().button_current_in->click();
        QCOMPARE(panel.pty.readAtLeast(13).size(), 13);
        panel.p.ui().scroll_current->setValue(21);
        panel.p.ui().button_current_in->click();
        QCOMPARE(panel.p.ui().edit_message->text(),
                 "超出限值，未发送：泵浦电流 4.20 A 自 2.00 A 升高，超过一次命令允许的 2.00 A（" + limits + " [all]）");
        QCOMPARE(panel.pty.readAvailable(), QByteArray());
    }

    // The socket exists while a panel holds the port: gone at Close and
    // after a stop signal; one a killed panel left is replaced, a live one kept.
    void socketLifetime_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("killed, then a new panel") << "SIGKILL";
        QTest::newRow("another panel serves the name") << "live";
    }
    void socketLifetime()
    {
        QFETCH(QString, end);
        Pty pty;
        const QString name = laser::panel::socketName(pty.slaveName());
        QLocalServer other;
        if (end == "live") {
            QVERIFY(other.listen(name));
        } else {
            QProcess child;
            child.start(PANEL_PROBE_PATH, {pty.slaveName()});
            QVERIFY(child.waitForReadyRead(10000));
            QVERIFY(QFile::exists(name));
            ::kill(pid_t(child.processId()), end == "SIGTERM" ? SIGTERM : SIGKILL);
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(QFile::exists(name), end != "SIGTERM");
            if (end == "SIGTERM")
                return;
        }
        Panel panel(pty.slaveName());   // the pty a killed panel held
        QCOMPARE(panel.server()->isServing(), end != "live");
        Script script(name);
        if (end == "live")
            QTRY_VERIFY(other.hasPendingConnections());
        else
            QCOMPARE(script.call(R"({"op":"hello"})").value("port").toString(), pty.slaveName());
    }

    // Another user reaches nothing: the folder's permissions stop them, and
    // past those (a capability) the peer check closes the connection unanswered.
    void otherUser_data()
    {
        QTest::addColumn<bool>("asOther");
        QTest::addColumn<bool>("passPermissions");
        QTest::addColumn<int>("outcome");
        QTest::newRow("same user") << false << false << 30;
        QTest::newRow("other user") << true << false << 10;
        QTest::newRow("other user past the file permissions") << true << true << 20;
    }
    void otherUser()
    {
        QFETCH(bool, asOther);
        QFETCH(bool, passPermissions);
        QFETCH(int, outcome);
        if (asOther && ::geteuid() != 0)
            QSKIP("needs root to act as another user");
        Panel panel;
        QSignalSpy notes(panel.server(), &laser::PanelServer::note);
        const QByteArray path = QFile::encodeName(panel.socket());
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(helloFromChild(path, asOther, passPermissions));
        int status = 0;
        QVERIFY(QTest::qWaitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10000));
        QCOMPARE(WEXITSTATUS(status), outcome);
        if (outcome == 20)
            QVERIFY(notes.last().at(1).toString().startsWith("refused a script of another user"));
    }
};

QTEST_MAIN(PanelApiTest)
#include "tst_panelapi.moc"
