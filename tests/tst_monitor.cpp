// The monitor behind a stand-in window: recording, its failures, the ways in,
// and the trend and link-log windows; the link log's lines and counters.
#include "csvrecord.h"
#include "filesizelimit.h"
#include "jsonrecord.h"
#include "recordingreader.h"
#include "statusdecode.h"
#include "testhome.h"
#include "linklog.h"
#include "linklogwindow.h"
#include "monitor.h"
#include "panelsettings.h"
#include "trenddata.h"
#include "trendwindow.h"

#include <qwt_plot.h>

#include <QGroupBox>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

using laser::LinkEvent;
using laser::LinkLog;

namespace {

// The control window as far as the monitor sees it: a status group holding
// a read-only line edit, which has a context menu of its own.
struct StandIn {
    QWidget window;
    QGroupBox *group = new QGroupBox(QStringLiteral("Status Detection"), &window);
    QLineEdit *edit = new QLineEdit(group);
    QLineEdit *outside = new QLineEdit(&window);
    Monitor monitor{&window, group, QStringLiteral("v1.3")};
    QStringList messages;

    StandIn()
    {
        edit->setReadOnly(true);
        QObject::connect(&monitor, &Monitor::message, [this](const QString &m) { messages << m; });
    }
};

QDateTime at(int ms) { return QDateTime(QDate(2026, 12, 7), QTime(14, 3, 21)).addMSecs(ms); }
laser::Reading reading(double a, int c) { return {a, c, false, true}; }

const qint64 noon = QDateTime(QDate(2026, 12, 7), QTime(12, 0, 1, 42)).toMSecsSinceEpoch();
// The lines waiting for the window; one that keeps more bytes than it shows says so.
QString taken(LinkLog &log)
{
    QStringList lines;
    for (const laser::LinkLogEntry &e : log.takePending())
        lines << laser::formatLine(e) + (e.bytes.size() > laser::kSkipShown ? "  (kept whole)" : "");
    return lines.join('\n');
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList{"(cannot read)"};
}

// What the trend holds, segments apart: "t:y t:y | t:y", then the alarms.
QString held(const laser::TrendData &d)
{
    QStringList out;
    for (const laser::GapSeries *s : {&d.current(), &d.temperature(), &d.setpoint()}) {
        for (std::size_t i = 0; i < s->size(); ++i)
            out << QStringLiteral("%1%2:%3").arg(s->startsSegment(i) ? "| " : "").arg(qint64(s->t(i))).arg(s->y(i));
        out << "/";
    }
    for (const laser::record::Period &p : d.alarms())
        out << QStringLiteral("%1 %2-%3").arg(p.what).arg(p.start).arg(p.end);
    return out.join(' ');
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

} // namespace

class MonitorTest : public QObject
{
    Q_OBJECT

private slots:
    // A scripted session recorded: the header, then one row per status, command and
    // event (skipped bytes are the log's only), each on disk as it happens.
    void recordsSession()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("session.csv");
        StandIn s;
        // Rows as a reader of the file expects them; times come from isoTime, tested on its own.
        const auto row = [](int ms, const char *rest) { return laser::csv::isoTime(at(ms)) + rest; };
        s.monitor.onLinkEvent(at(0), LinkEvent::Open, "/dev/ttyUSB0\nx");   // a line break stays in its header line
        QVERIFY(s.monitor.startRecording(path));
        s.monitor.onStatusDecoded(at(200), reading(1.5, 25));
        s.monitor.onStatusDecoded(at(400), laser::Reading{1.55, laser::kTemperatureOutOfRange, false, false, true});
        s.monitor.onCommandSent(at(450), QByteArray::fromHex("a55a010c2200000d1e0000fafb"), laser::WorkingPoint{true, 12, 34, 13, 30, 10});
        s.monitor.onBytesSkipped(at(500), "xyz");
        s.monitor.onLinkEvent(at(3000), LinkEvent::Stale, "2.6 s, \"more\"");
        s.monitor.onLinkEvent(at(3500), LinkEvent::Alarm, "tec_lock");
        s.monitor.onLinkEvent(at(4000), LinkEvent::Close, "COM1, COM2");   // a comma alone quotes too
        const QStringList body{row(200, ",status,1.50,25,internal,normal,unlocked,,,,,"),
                               row(400, ",status,1.55,,internal,fault,locked,,,,,"),
                               row(450, ",command,,,,,,2.40,3.25,300,external,"),
                               row(3000, ",stale,,,,,,,,,,\"2.6 s, \"\"more\"\"\""),
                               row(3500, ",alarm,,,,,,,,,,tec_lock"),
                               row(4000, ",close,,,,,,,,,,\"COM1, COM2\"")};
        QCOMPARE(fileLines(path).mid(6), body);
        s.monitor.stopRecording();
        QCOMPARE(s.messages, (QStringList{"记录已开始：" + path, "记录已停止"}));

        const QStringList lines = fileLines(path);
        QCOMPARE(lines.mid(0, 3), (QStringList{"# program: laserpanel 1.3", "# variant: v1.3", "# port: /dev/ttyUSB0 x"}));
        QCOMPARE(lines[5].section(',', 1, 1) + ' ' + lines[5].section(',', -1), "recording_started " + path);
        QCOMPARE(lines.size(), 6 + body.size() + 1);
        QCOMPARE(lines.last().section(',', 1, 1), QString("recording_stopped"));
    }

    // A recording that cannot start or goes wrong is said in the message line,
    // once, and ends: a folder that is not there, the file-size limit, the
    // file's folder removed while it records.
    void writeErrors_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such folder at start") << "gone" << "记录无法开始：";
        QTest::newRow("file size limit reached") << "limit" << "记录写入失败：File too large，记录已停止";
        QTest::newRow("folder removed") << "removed" << "记录写入失败：文件已被删除，记录已停止";
    }
    void writeErrors()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(how + "/x.csv");
        QVERIFY(how == "gone" || QDir(dir.path()).mkdir(how));
        StandIn s;
        QSignalSpy spy(&s.monitor, &Monitor::message);
        QCOMPARE(s.monitor.startRecording(path), how != "gone");
        if (how != "gone")
            spy.clear();
        if (how == "limit") {
            const FileSizeLimit limit(QFileInfo(path).size() + 500);
            for (int i = 0; i < 20 && spy.isEmpty(); ++i)
                s.monitor.onStatusDecoded(at(i), reading(1.0, 25));
        } else if (how == "removed") {
            QVERIFY(QDir(dir.filePath(how)).removeRecursively());
            QVERIFY(spy.wait(3000));   // looked for once a second
        }
        s.monitor.onStatusDecoded(at(5000), reading(1.0, 25));
        QCOMPARE(spy.size(), 1);
        QVERIFY(!s.monitor.isRecording());
        QVERIFY2(s.messages.last().startsWith(message), qPrintable(s.messages.last()));
        QCOMPARE(s.monitor.recordAction()->text(), QString("Start recording…"));
    }

    // The ways in: a right-click anywhere in the group, on widgets with menus of their own
    // too, opens the monitor's menu instead, not outside the group; the shortcuts work
    // wherever the focus is in the window. Ctrl+R asks for a file, and a second one stops.
    void waysIn_data()
    {
        QTest::addColumn<int>("clicked");   // right-click on: 0 the line edit, 1 the group, 2 outside; -1 none
        QTest::addColumn<int>("key");       // with Ctrl
        QTest::newRow("menu: read-only line edit") << 0 << 0;
        QTest::newRow("menu: group") << 1 << 0;
        QTest::newRow("menu: outside the group") << 2 << 0;
        for (const int key : {Qt::Key_T, Qt::Key_L, Qt::Key_R})
            QTest::addRow("Ctrl+%c", key) << -1 << key;
    }
    void waysIn()
    {
        QFETCH(int, clicked);
        QFETCH(int, key);
        QTemporaryDir dir;
        StandIn s;
        s.monitor.setPathChooser([&](const QString &) { return dir.filePath("chosen.csv"); });
        s.window.show();
        QApplication::setActiveWindow(&s.window);
        QVERIFY(QTest::qWaitForWindowActive(&s.window));
        if (clicked >= 0) {
            QWidget *w = QList<QWidget *>{s.edit, s.group, s.outside}.at(clicked);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(w, &event);
            QTRY_VERIFY(QApplication::activePopupWidget());
            QCOMPARE(QApplication::activePopupWidget() == s.monitor.contextMenu(), clicked != 2);
            QCOMPARE(s.monitor.contextMenu()->actions(),
                     (QList<QAction *>{s.monitor.trendAction(), s.monitor.recordAction(), s.monitor.linkLogAction()}));
            return;
        }
        s.edit->setFocus();
        QTest::keyClick(&s.window, Qt::Key(key), Qt::ControlModifier);
        const QWidget *trend = s.monitor.trendWindow(), *log = s.monitor.linkLogWindow();
        QCOMPARE(trend && trend->isVisible(), key == Qt::Key_T);
        QCOMPARE(log && log->isVisible(), key == Qt::Key_L);
        QCOMPARE(s.monitor.isRecording(), key == Qt::Key_R);
        if (key != Qt::Key_R)
            return;
        QCOMPARE(s.monitor.recordingPath(), dir.filePath("chosen.csv"));
        QCOMPARE(s.monitor.recordAction()->text(), QString("Stop recording"));
        QTest::keyClick(&s.window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!s.monitor.isRecording());
    }

    // The view follows the newest data over the span; a wheel zoom pauses it, and Follow
    // takes it up again. The link log shows the newest 10 000 lines of a batch too long.
    void windows()
    {
        StandIn s;
        for (int ms = 0; ms <= 600'000; ms += 200)
            s.monitor.onStatusDecoded(at(ms), reading(1.0 + ms / 600'000.0, 25));
        s.monitor.showTrend();
        laser::TrendWindow *trend = s.monitor.trendWindow();
        trend->setSpan(laser::TrendWindow::OneMinute);
        const double end = double(at(600'000).toMSecsSinceEpoch());
        QCOMPARE(std::make_pair(trend->viewStart(), trend->viewEnd()), std::make_pair(end - 60'000, end));

        QWidget *canvas = trend->plot()->canvas();
        const QPoint middle(canvas->width() / 2, canvas->height() / 2);
        QWheelEvent wheel(middle, canvas->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        const double zoomedEnd = trend->viewEnd();
        QVERIFY(!trend->isFollowing() && zoomedEnd != end);
        s.monitor.onStatusDecoded(at(600'200), reading(2.0, 25));
        trend->refresh();
        QCOMPARE(trend->viewEnd(), zoomedEnd);
        trend->setFollowing(true);
        QCOMPARE(trend->viewEnd(), end + 200);

        const int n = laser::LinkLog::kLinesKept;
        for (int i = 0; i < n; ++i)
            s.monitor.onBytesSkipped(at(i), QByteArray(1, char(i)));
        s.monitor.showLinkLog();
        QPlainTextEdit *view = s.monitor.linkLogWindow()->view();
        QCOMPARE(view->blockCount(), n);
        QVERIFY(view->document()->firstBlock().text().endsWith("SKIP  00  (1 bytes)"));
        QVERIFY(view->document()->lastBlock().text().endsWith(QStringLiteral("SKIP  %1  (1 bytes)").arg(QString::fromLatin1(QByteArray(1, char(n - 1)).toHex().toUpper()))));
        QVERIFY(s.monitor.linkLogWindow()->countersText().startsWith(QStringLiteral("Valid frames: 3002    Bytes skipped: %1").arg(n)));
        // Scrolled up by the operator, the log stays there as lines come.
        QVERIFY(QTest::qWaitForWindowExposed(s.monitor.linkLogWindow()));
        view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        s.monitor.onBytesSkipped(at(n), "x");
        QTRY_VERIFY(view->document()->lastBlock().text().endsWith("SKIP  78  (1 bytes)"));
        QCOMPARE(view->verticalScrollBar()->value(), 0);
    }

    // Events only hides the RX and TX lines, those shown and those to come;
    // the next window starts with the same choice.
    void logFilter()
    {
        StandIn s;
        s.monitor.onLinkEvent(at(0), LinkEvent::Open, "/dev/x");
        s.monitor.onFrameReceived(at(1), QByteArray::fromHex("001e0000046500 0003"));
        s.monitor.onCommandSent(at(2), QByteArray::fromHex("a55a000c22000014 1e0000fafb"), laser::WorkingPoint{});
        s.monitor.onBytesSkipped(at(3), "x");
        laser::PanelSettings().clear();
        s.monitor.showLinkLog();
        laser::LinkLogWindow *log = s.monitor.linkLogWindow();
        const QRegularExpression tag("^\\S+  (\\S+).*$", QRegularExpression::MultilineOption);   // the second word of each line
        const auto tags = [&] { return log->view()->toPlainText().replace(tag, "\\1").replace('\n', ' '); };
        QCOMPARE(tags(), QString("---- RX TX SKIP"));
        log->eventsOnlyBox()->click();
        QCOMPARE(tags(), QString("---- SKIP"));
        s.monitor.onFrameReceived(at(4), QByteArray::fromHex("001e0000046500 0003"));
        s.monitor.onLinkEvent(at(5), LinkEvent::Close, "/dev/x");
        log->flush();
        QCOMPARE(tags(), QString("---- SKIP ----"));
        StandIn next;
        next.monitor.showLinkLog();
        QVERIFY(next.monitor.linkLogWindow()->eventsOnlyBox()->isChecked());
        log->eventsOnlyBox()->click();
        QCOMPARE(tags(), QString("---- RX TX SKIP RX ----"));
    }

    // A session recorded by the panel (CSV), or as laserctl monitor --json writes it,
    // opens to the trend the live session drew: points, gaps, setpoint steps, alarms.
    void openRecording_data()
    {
        QTest::addColumn<bool>("json");
        QTest::newRow("csv") << false;
        QTest::newRow("json lines") << true;
    }
    void openRecording()
    {
        QFETCH(bool, json);
        QTemporaryDir dir;
        const QString path = dir.filePath(json ? "session.jsonl" : "session.csv");
        StandIn s;
        QStringList lines;
        QVERIFY(json || s.monitor.startRecording(path));
        auto event = [&](int ms, LinkEvent e, const QString &detail) {
            s.monitor.onLinkEvent(at(ms), e, detail);
            lines << laser::json::jsonLine(laser::json::eventJson(laser::csv::isoTime(at(ms)), e, detail));
        };
        event(0, LinkEvent::Open, "/dev/ttyUSB0");
        for (int ms = 200; ms <= 9000; ms += 200) {
            if (ms == 1000)
                event(ms, LinkEvent::Alarm, "pump_supply");
            if (ms == 2000) {
                const laser::WorkingPoint point{true, 12, 34, 13, 30, 10};
                s.monitor.onCommandSent(at(ms), QByteArray(), point);
                lines << laser::json::jsonLine(laser::json::commandJson(laser::csv::isoTime(at(ms)), point));
            }
            if (ms == 5000)
                event(ms, LinkEvent::Stale, "no status for 2.0 s");
            if (ms > 4600 && ms < 7000)
                continue;
            if (ms == 7000)
                event(ms, LinkEvent::AlarmCleared, "pump_supply");
            const laser::Reading r{ms / 1000.0, ms == 8000 ? laser::kTemperatureOutOfRange : 25 + ms / 3000, false, true, true};
            s.monitor.onStatusDecoded(at(ms), r);
            lines << laser::json::jsonLine(laser::json::statusJson(laser::csv::isoTime(at(ms)), r));
        }
        event(8500, LinkEvent::Alarm, "tec_lock");
        event(9100, LinkEvent::Close, "/dev/ttyUSB0");
        s.monitor.stopRecording();
        if (json)
            writeFile(path, lines.join('\n').toUtf8() + '\n');

        QString error;
        std::unique_ptr<laser::TrendWindow> opened(laser::TrendWindow::openRecording(path, nullptr, &error));
        QVERIFY2(opened, qPrintable(error));
        QCOMPARE(held(opened->trendData()), held(s.monitor.trendData()));
        QVERIFY(opened->windowTitle().startsWith(QFileInfo(path).fileName()));
        const auto t = [](int ms) { return at(ms).toMSecsSinceEpoch(); };
        QVERIFY(held(opened->trendData()).contains(QStringLiteral("| %1:7 ").arg(t(7000))));   // after the stale gap
        QVERIFY(held(opened->trendData()).endsWith(
            QStringLiteral("pump_supply %1-%2 tec_lock %3-%4").arg(t(1000)).arg(t(7000)).arg(t(8500)).arg(t(9100))));
    }

    // A damaged row is skipped and named; a file that is not a recording is refused.
    void damagedAndForeign_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("outcome");
        const QByteArray head = laser::csv::columns().toUtf8() + '\n';
        const QByteArray ok = "2026-12-07T14:00:00.000+01:00,status,1.00,25,internal,normal,locked,,,,,\n";
        QTest::newRow("csv, damaged rows") << "# port: COM3\n" + head + ok
            + "2026-12-07T14:00:00.200+01:00,status,1.00,25,internal,normal,locked,,,,\n"   // a cell short
            + "2026-12-07T14:00:00.400+01:00,status,1.x0,25,internal,normal,locked,,,,,\n"
            + "2026-12-07T14:00:00.600+01:00,status,1.00,25,inside,normal,locked,,,,,\n"
            + "2026-13-07T14:00:00.800+01:00,status,1.00,25,internal,normal,locked,,,,,\n"
            + "2026-12-07T14:00:01.000+01:00,command,,,,,,2.40,3.25,,external,\n"
            + "2026-12-07T14:00:01.000+01:00,alarm,,,,,,,,,,\"pump_supply\n" + ok
            << "2 read; 6 rows skipped: line 4, 5, 6, 7, 8, 9";
        QTest::newRow("csv, quoted detail over lines, CRLF")
            << head + ok + "2026-12-07T14:00:01.000+01:00,lost,,,,,,,,,,\"a, \"\"b\r\n\r\n\"\"\"\r\n" + ok << "3 read";
        QTest::newRow("json, damaged rows")
            << QByteArray("{\"time\":\"2026-12-07T14:00:00.000Z\",\"kind\":\"status\",\"current_A\":1,\"temperature_C\":null,"
                          "\"trigger\":\"internal\",\"pump_supply\":\"normal\",\"tec\":\"locked\"}\n"
                          "{\"time\":\"2026-12-07T14:00:00.200Z\",\"kind\":\"status\",\"current_A\":1}\n{\"time\n"
                          "{\"time\":\"2026-12-07T14:00:00.400Z\",\"kind\":\"lost\",\"detail\":\"a \\\"b\\\"\"}\n")
            << "2 read; 2 rows skipped: line 2, 3";
        QTest::newRow("empty") << QByteArray() << "refused: the file is empty";
        QTest::newRow("no row readable") << head + "x\n" << "refused: no row could be read";
        QTest::newRow("another CSV") << QByteArray("time,kind,value\n1,2,3\n")
            << "refused: line 1 is neither the column line (with \"current_A\") nor a JSON object";
        QTest::newRow("binary") << QByteArray::fromHex("89504e470d0a1a0a0000") << "refused: line 1 is neither the column line (with \"time\") nor a JSON object";
    }
    void damagedAndForeign()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        writeFile(dir.filePath("file"), bytes);
        const laser::record::ReadResult r = laser::record::readRecording(dir.filePath("file"), [](const laser::record::Source &) {});
        const QString outcome = r.outcome == r.Read ? QStringLiteral("%1 read").arg(r.rows) + (r.skipped ? "; " + r.skippedText() : "")
                                                    : "refused: " + r.why;
        QTEST(outcome, "outcome");
    }

    // The trend exported in each format, read back; its title names the port and the time in view.
    void exportImage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("png") << "trend.png";
        QTest::newRow("svg") << "trend.svg";
        QTest::newRow("pdf") << "trend.PDF";
        QTest::newRow("bmp refused") << "trend.bmp";
    }
    void exportImage()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        StandIn s;
        s.monitor.onLinkEvent(at(0), LinkEvent::Open, "/dev/ttyUSB0");
        s.monitor.onStatusDecoded(at(200), reading(1.5, 25));
        s.monitor.showTrend();
        QCOMPARE(s.monitor.trendWindow()->saveImage(path), !file.endsWith(".bmp"));
        QFile f(path);
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        if (file.endsWith(".png")) {
            const QImage image = QImage::fromData(bytes, "PNG");
            QVERIFY2(image.width() > 1000 && image.height() > 600, qPrintable(QString::number(image.width())));
        } else if (file.endsWith(".svg")) {
            QXmlStreamReader xml(bytes);
            QString text;
            while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd())
                text += xml.text();
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QVERIFY2(text.contains("/dev/ttyUSB0") && text.contains(at(0).toString("yyyy-MM-dd hh:mm")), qPrintable(text.left(300)));
        } else if (file.endsWith(".PDF")) {
            QVERIFY(bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF"));
        } else {
            QVERIFY(bytes.isEmpty());
        }
    }

    // A session's garbage, frames, commands and losses: decoded readings are shown until
    // raw payloads come, then each frame is one line (the whole frame), not two. A run
    // of noise shows its first 32 bytes and its size, and keeps no more than it shows.
    void session()
    {
        LinkLog log;
        const laser::Reading r{1.5, 25, false, true, true};
        const QString ab32 = QString("AB ").repeated(32).chopped(1);
        log.event(noon, LinkEvent::Open, "/dev/ttyUSB0");
        log.status(noon, r);
        log.skipped(noon, QByteArray::fromHex("00a5ff"));
        log.skipped(noon, QByteArray());
        log.skipped(noon, QByteArray(32, '\xAB'));
        log.skipped(noon, QByteArray(33, '\xAB'));
        log.frame(noon, QByteArray::fromHex("001e0000046500 0003"));
        log.status(noon + 1, r);
        log.command(noon, QByteArray::fromHex("a55a000c22000014 1e0000fafb"));
        log.event(noon, LinkEvent::Lost, QString());
        log.event(noon, LinkEvent::Stale, QString());
        const laser::LinkCounters &c = log.counters();
        QCOMPARE((QList<qint64>{c.validFrames, c.bytesSkipped, c.commandsSent, c.linkLosses}), (QList<qint64>{2, 68, 1, 1}));
        QCOMPARE(log.lastFrame(), noon + 1);
        QCOMPARE(taken(log), QString("12:00:01.042  ----  open  /dev/ttyUSB0\n"
                                     "12:00:01.042  RX    1.50 A  25 °C  internal  pump normal  TEC locked\n"
                                     "12:00:01.042  SKIP  00 A5 FF  (3 bytes)\n"
                                     "12:00:01.042  SKIP  " + ab32 + "  (32 bytes)\n"
                                     "12:00:01.042  SKIP  " + ab32 + " …  (33 bytes)\n"
                                     "12:00:01.042  RX    A5 5A 00 1E 00 00 04 65 00 00 03 EE FF\n"
                                     "12:00:01.042  TX    A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB\n"
                                     "12:00:01.042  ----  lost\n"
                                     "12:00:01.042  ----  stale"));
        QCOMPARE(taken(log), QString());
    }

    // Only the newest lines wait for the window; older ones are gone, not shown late.
    void pendingBounded()
    {
        LinkLog log(2);
        for (int i = 0; i < 10; ++i)
            log.event(noon + 1000 * i, LinkEvent::Stale, QString::number(i));
        QCOMPARE(taken(log), QString("12:00:09.042  ----  stale  8\n12:00:10.042  ----  stale  9"));
    }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
