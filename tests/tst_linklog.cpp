// The link log's lines and counters, and the recording's default name.
#include "linklog.h"
#include "recorder.h"

#include <QtTest>

using laser::LinkEvent;
using laser::LinkLog;

namespace {
const qint64 noon = QDateTime(QDate(2026, 12, 7), QTime(12, 0, 1, 42)).toMSecsSinceEpoch();
QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
QString taken(LinkLog &log)
{
    QStringList lines;
    for (const laser::LinkLogEntry &e : log.takePending())
        lines << laser::formatLine(e);
    return lines.join('\n');
}
} // namespace

class LinkLogTest : public QObject
{
    Q_OBJECT

private slots:
    // A session's garbage, frames, commands and losses: decoded readings are shown until
    // raw payloads come, then each frame is one line (the whole frame), not two.
    void session()
    {
        LinkLog log;
        const laser::Reading r{1.5, 25, false, true, true};
        log.event(noon, LinkEvent::Open, "/dev/ttyUSB0");
        log.status(noon, r);
        log.skipped(noon, hex("00a5ff"));
        log.skipped(noon, QByteArray());
        log.frame(noon, hex("001e0000046500 0003"));
        log.status(noon + 1, r);
        log.command(noon, hex("a55a000c22000014 1e0000fafb"));
        log.event(noon, LinkEvent::Lost, QString());
        log.event(noon, LinkEvent::Stale, QString());
        const laser::LinkCounters &c = log.counters();
        QCOMPARE((QList<qint64>{c.validFrames, c.bytesSkipped, c.commandsSent, c.linkLosses}), (QList<qint64>{2, 3, 1, 1}));
        QCOMPARE(log.lastFrame(), noon + 1);
        QCOMPARE(taken(log), QString("12:00:01.042  ----  open  /dev/ttyUSB0\n"
                                     "12:00:01.042  RX    1.50 A  25 °C  internal  pump normal  TEC locked\n"
                                     "12:00:01.042  SKIP  00 A5 FF  (3 bytes)\n"
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

    // A run of noise shows its first 32 bytes and its size, and keeps no more than it shows.
    void skipLine_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("line");
        const QString bytes32 = QString("AB ").repeated(32).chopped(1);
        QTest::newRow("one") << 1 << "12:00:01.042  SKIP  AB  (1 bytes)";
        QTest::newRow("32, all shown") << 32 << "12:00:01.042  SKIP  " + bytes32 + "  (32 bytes)";
        QTest::newRow("33") << 33 << "12:00:01.042  SKIP  " + bytes32 + " …  (33 bytes)";
        QTest::newRow("100 kB") << 100'000 << "12:00:01.042  SKIP  " + bytes32 + " …  (100000 bytes)";
    }
    void skipLine()
    {
        QFETCH(int, size);
        LinkLog log;
        log.skipped(noon, QByteArray(size, '\xAB'));
        const std::deque<laser::LinkLogEntry> lines = log.takePending();
        QVERIFY(lines.front().bytes.size() <= laser::kSkipShown);
        QTEST(laser::formatLine(lines.front()), "line");
        QCOMPARE(log.counters().bytesSkipped, qint64(size));
    }

    void age_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << qint64(-1) << "–";
        QTest::newRow("fresh") << qint64(180) << "0.2 s";
        QTest::newRow("seconds") << qint64(42'900) << "42 s";
        QTest::newRow("minutes") << qint64(185'000) << "3 min 05 s";
        QTest::newRow("hours") << qint64(2 * 3600'000 + 7 * 60'000) << "2 h 07 min";
    }
    void age()
    {
        QFETCH(qint64, ms);
        QTEST(laser::formatAge(ms), "text");
    }

    void defaultRecordingName()
    {
        QCOMPARE(laser::defaultRecordingPath("/home/op/Documents", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
                 QString("/home/op/Documents/laserpanel-20260102-030405.csv"));
    }
};

QTEST_GUILESS_MAIN(LinkLogTest)
#include "tst_linklog.moc"
