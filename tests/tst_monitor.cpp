// The monitor behind a stand-in window: recording, its failures, the ways in,
// and the trend and link-log windows.
#include "csvrecord.h"
#include "statusdecode.h"
#include "linklogwindow.h"
#include "monitor.h"
#include "trendwindow.h"

#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using laser::LinkEvent;

namespace {

// The control window as far as the monitor sees it: a status group holding
// a read-only line edit and a combo box, each with a context menu of its own.
struct StandIn {
    QWidget window;
    QGroupBox *group = new QGroupBox(QStringLiteral("Status Detection"), &window);
    QLineEdit *edit = new QLineEdit(group);
    QComboBox *combo = new QComboBox(group);
    QLineEdit *outside = new QLineEdit(&window);
    Monitor monitor{&window, group, QStringLiteral("v1.3")};
    QStringList messages;

    StandIn()
    {
        edit->setReadOnly(true);
        combo->addItems({"A", "B"});
        auto *inner = new QVBoxLayout(group);
        inner->addWidget(edit);
        inner->addWidget(combo);
        auto *outer = new QVBoxLayout(&window);
        outer->addWidget(group);
        outer->addWidget(outside);
        QObject::connect(&monitor, &Monitor::message, [this](const QString &m) { messages << m; });
    }
};

QDateTime at(int ms) { return QDateTime(QDate(2026, 12, 7), QTime(14, 3, 21)).addMSecs(ms); }

laser::Reading reading(double a, int c)
{
    laser::Reading r;
    r.currentA = a;
    r.temperatureC = c;
    r.pumpSupplyNormal = true;
    return r;
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("(cannot read %1)").arg(path)};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

QWidget *shownMenu()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<QMenu *>(w) && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

class MonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    // A scripted session recorded: the header, then one row per status, command and event,
    // each on disk as it happens; Python's csv module reads the file back.
    void recordsSession()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("session.csv");
        StandIn s;
        const laser::Setpoints sp = laser::setpointsFromSteps(true, 12, 13, 30, 10, 34);
        s.monitor.onLinkEvent(at(0), LinkEvent::Open, "/dev/ttyUSB0");
        QVERIFY(s.monitor.startRecording(path));
        QCOMPARE(s.messages, QStringList{"记录已开始：" + path});
        s.monitor.onStatusDecoded(at(200), reading(1.5, 25));
        s.monitor.onStatusDecoded(at(400), reading(1.55, laser::kTemperatureOutOfRange));
        s.monitor.onCommandSent(at(450), QByteArray::fromHex("a55a010c2200000d1e0000fafb"), sp);
        s.monitor.onBytesSkipped(at(500), "xyz");
        s.monitor.onLinkEvent(at(3000), LinkEvent::Stale, "2.6 s");
        s.monitor.onLinkEvent(at(3500), LinkEvent::Recovered, QString());
        s.monitor.onStatusDecoded(at(3500), reading(2.4, 26));
        s.monitor.onLinkEvent(at(4000), LinkEvent::Close, QString());

        // On disk before the recording ends.
        const QStringList body{
            laser::csv::statusRow(at(200), reading(1.5, 25)),
            laser::csv::statusRow(at(400), reading(1.55, laser::kTemperatureOutOfRange)),
            laser::csv::commandRow(at(450), sp),
            laser::csv::eventRow(at(3000), LinkEvent::Stale, "2.6 s"),
            laser::csv::eventRow(at(3500), LinkEvent::Recovered),
            laser::csv::statusRow(at(3500), reading(2.4, 26)),
            laser::csv::eventRow(at(4000), LinkEvent::Close)};
        QStringList lines = fileLines(path);
        QCOMPARE(lines.mid(6), body);
        s.monitor.stopRecording();
        QCOMPARE(s.messages.last(), QString("记录已停止"));
        QVERIFY(!s.monitor.isRecording());

        lines = fileLines(path);
        QCOMPARE(lines.size(), 6 + body.size() + 1);
        QCOMPARE(lines.mid(0, 3), (QStringList{"# program: laserpanel 1.3", "# variant: v1.3", "# port: /dev/ttyUSB0"}));
        QVERIFY(lines[3].startsWith("# started: 20"));
        QCOMPARE(lines[4], laser::csv::columns());
        QCOMPARE(lines[5].section(',', 1, 1), QString("recording_started"));
        QCOMPARE(lines[5].section(',', -1), path);
        QCOMPARE(lines.last().section(',', 1, 1), QString("recording_stopped"));

        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty())
            QSKIP("no python3 to read the file back");
        QProcess py;
        py.start(python, {"-c", "import csv,sys\n"
                                "rows=list(csv.DictReader(l for l in open(sys.argv[1],newline='') if not l.startswith('#')))\n"
                                "print(len(rows), ' '.join(r['kind'] for r in rows), rows[2]['temperature_C'] or '-', rows[3]['set_current_A'])",
                                path});
        QVERIFY(py.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(py.readAllStandardOutput()).trimmed(),
                 QString("9 recording_started status status command stale recovered status close recording_stopped - 2.40"));
    }

    // Every way a recording fails is said in the message line and ends the recording;
    // what was written before stays on disk.
    void writeErrors_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("disk full at start") << "full" << "记录无法开始：/dev/full：No space left on device";
        QTest::newRow("no such folder at start") << "missing" << "记录无法开始：";
        QTest::newRow("folder removed") << "removed" << "记录写入失败：文件已被删除，记录已停止";
        QTest::newRow("file size limit reached") << "limit" << "记录写入失败：File too large，记录已停止";
    }
    void writeErrors()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QString path = how == "full" ? "/dev/full"
                           : how == "missing" ? dir.filePath("gone/x.csv") : dir.filePath("sub/x.csv");
        StandIn s;
        QSignalSpy spy(&s.monitor, &Monitor::message);
        const bool started = s.monitor.startRecording(path);
        QCOMPARE(started, how != "full" && how != "missing");
        if (started) {
            spy.clear();
            if (how == "removed") {
                // Writes into a removed file still succeed; the monitor notices within a second.
                QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
                s.monitor.onStatusDecoded(at(0), reading(1.0, 25));
                QVERIFY(spy.wait(3000));
            } else if (how == "limit") {
                // Writes past RLIMIT_FSIZE fail with EFBIG, as they would on a full disk.
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit old{};
                getrlimit(RLIMIT_FSIZE, &old);
                rlimit small = old;
                small.rlim_cur = rlim_t(QFileInfo(path).size() + 500);
                setrlimit(RLIMIT_FSIZE, &small);
                for (int i = 0; i < 20 && spy.isEmpty(); ++i)
                    s.monitor.onStatusDecoded(at(i), reading(1.0, 25));
                setrlimit(RLIMIT_FSIZE, &old);
                // Whole rows up to the limit; the one that did not fit is not left half written.
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadOnly));
                const QByteArray written = f.readAll();
                QVERIFY(written.endsWith('\n'));
                QCOMPARE(written.count('\n'), 6 + 500 / (laser::csv::statusRow(at(0), reading(1.0, 25)).size() + 1));
            }
            QCOMPARE(spy.size(), 1);
            // Nothing more is written, and the next row is not an error again.
            s.monitor.onStatusDecoded(at(5000), reading(1.0, 25));
            QCOMPARE(spy.size(), 1);
        }
        QVERIFY(!s.monitor.isRecording());
        QVERIFY2(s.messages.last().startsWith(message), qPrintable(s.messages.last()));
        QCOMPARE(s.monitor.recordAction()->text(), QString("Start recording…"));
    }

    // A right-click anywhere in the group, on widgets with menus of their own too, opens
    // the monitor's menu instead; not outside the group.
    void contextMenu_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("opens");
        QTest::newRow("read-only line edit") << "edit" << true;
        QTest::newRow("combo box") << "combo" << true;
        QTest::newRow("group") << "group" << true;
        QTest::newRow("outside the group") << "outside" << false;
    }
    void contextMenu()
    {
        QFETCH(QString, target);
        QFETCH(bool, opens);
        StandIn s;
        s.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.window));
        QWidget *w = target == "edit" ? static_cast<QWidget *>(s.edit)
                   : target == "combo" ? static_cast<QWidget *>(s.combo)
                   : target == "group" ? static_cast<QWidget *>(s.group) : s.outside;
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(w, &event);
        QWidget *menu = nullptr;
        QTRY_VERIFY((menu = shownMenu()) != nullptr);
        QCOMPARE(menu == s.monitor.contextMenu(), opens);
        if (!opens)
            return;
        QStringList texts;
        for (QAction *a : s.monitor.contextMenu()->actions())
            texts << a->text();
        QCOMPARE(texts, (QStringList{"Trend…", "Start recording…", "Link log…"}));
        s.monitor.contextMenu()->actions().first()->trigger();
        QVERIFY(s.monitor.trendWindow() && s.monitor.trendWindow()->isVisible());
        QVERIFY(s.group->toolTip().contains("Ctrl+T") && s.group->toolTip().contains("Ctrl+R")
                && s.group->toolTip().contains("Ctrl+L"));
    }

    // The shortcuts work wherever the focus is in the window; Ctrl+R asks for a file,
    // offering a dated name in the documents folder, and a second Ctrl+R stops.
    void shortcuts_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Ctrl+T") << int(Qt::Key_T);
        QTest::newRow("Ctrl+L") << int(Qt::Key_L);
        QTest::newRow("Ctrl+R") << int(Qt::Key_R);
    }
    void shortcuts()
    {
        QFETCH(int, key);
        QTemporaryDir dir;
        StandIn s;
        QString offered;
        s.monitor.setPathChooser([&](const QString &suggested) {
            offered = suggested;
            return dir.filePath("chosen.csv");
        });
        s.window.show();
        QApplication::setActiveWindow(&s.window);
        QVERIFY(QTest::qWaitForWindowActive(&s.window));
        s.edit->setFocus();
        QTest::keyClick(&s.window, Qt::Key(key), Qt::ControlModifier);
        if (key == Qt::Key_T) {
            QVERIFY(s.monitor.trendWindow() && s.monitor.trendWindow()->isVisible());
        } else if (key == Qt::Key_L) {
            QVERIFY(s.monitor.linkLogWindow() && s.monitor.linkLogWindow()->isVisible());
        } else {
            QVERIFY(s.monitor.isRecording());
            QCOMPARE(s.monitor.recordingPath(), dir.filePath("chosen.csv"));
            const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(docs) + "/laserpanel-\\d{8}-\\d{6}\\.csv$")
                         .match(offered).hasMatch(), qPrintable(offered));
            QCOMPARE(s.monitor.recordAction()->text(), QString("Stop recording"));
            QTest::keyClick(&s.window, Qt::Key_R, Qt::ControlModifier);
            QVERIFY(!s.monitor.isRecording());
        }
    }

    // The view follows the newest data over the span; a wheel zoom pauses it, and Follow
    // takes it up again. While recording, the windows name the file.
    void trendFollows()
    {
        StandIn s;
        for (int ms = 0; ms <= 600'000; ms += 200)
            s.monitor.onStatusDecoded(at(ms), reading(1.0 + ms / 600'000.0, 25));
        s.monitor.showTrend();
        laser::TrendWindow *trend = s.monitor.trendWindow();
        trend->setSpan(laser::TrendWindow::OneMinute);
        const double end = double(at(600'000).toMSecsSinceEpoch());
        QCOMPARE(std::make_pair(trend->viewStart(), trend->viewEnd()), std::make_pair(end - 60'000, end));
        QCOMPARE(trend->plot()->axisScaleDiv(QwtPlot::yLeft).upperBound(), 2.0 * 1.1);

        QWidget *canvas = trend->plot()->canvas();
        const QPoint middle(canvas->width() / 2, canvas->height() / 2);
        QWheelEvent wheel(middle, canvas->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        QVERIFY(!trend->isFollowing());
        const double zoomedEnd = trend->viewEnd();
        QVERIFY(zoomedEnd != end);
        s.monitor.onStatusDecoded(at(600'200), reading(2.0, 25));
        trend->refresh();
        QCOMPARE(trend->viewEnd(), zoomedEnd);
        trend->setFollowing(true);
        QCOMPARE(trend->viewEnd(), end + 200);

        QTemporaryDir dir;
        QVERIFY(s.monitor.startRecording(dir.filePath("r.csv")));
        s.monitor.showLinkLog();
        for (QWidget *w : {static_cast<QWidget *>(trend), static_cast<QWidget *>(s.monitor.linkLogWindow())}) {
            bool named = false;
            for (QLabel *label : w->findChildren<QLabel *>())
                named = named || label->text().contains(dir.filePath("r.csv"));
            QVERIFY(named);
        }
    }

    void trendSavesImage()
    {
        StandIn s;
        s.monitor.showTrend();
        QTemporaryDir dir;
        const QString png = dir.filePath("trend.png");
        QVERIFY(s.monitor.trendWindow()->saveImage(png));
        QCOMPARE(QImage(png).size(), s.monitor.trendWindow()->plot()->size());
        QVERIFY(!s.monitor.trendWindow()->saveImage(dir.filePath("no/such/folder.png")));
        QVERIFY(s.messages.last().startsWith("图像保存失败："));
    }

    // More lines than the log keeps, in one batch: the newest 10 000 are shown.
    void linkLogKeepsNewest()
    {
        StandIn s;
        const int n = laser::LinkLog::kLinesKept + 50;
        for (int i = 0; i < n; ++i)
            s.monitor.onBytesSkipped(at(i), QByteArray(1, char(i)));
        s.monitor.showLinkLog();
        QPlainTextEdit *view = s.monitor.linkLogWindow()->view();
        QCOMPARE(view->blockCount(), laser::LinkLog::kLinesKept);
        QVERIFY(view->document()->lastBlock().text().endsWith(QStringLiteral("SKIP  %1  (1 bytes)").arg(QString::fromLatin1(QByteArray(1, char(n - 1)).toHex().toUpper()))));
        QVERIFY(s.monitor.linkLogWindow()->countersText().startsWith(QStringLiteral("Valid frames: 0    Bytes skipped: %1").arg(n)));
    }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
