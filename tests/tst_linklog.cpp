// The link log's lines and counters, and the recording's default name.
#include "linklog.h"
#include "recorder.h"

#include <QtTest>

using laser::LinkEvent;
using laser::LinkLog;

namespace {
const qint64 noon = QDateTime(QDate(2026, 12, 7), QTime(12, 0, 1, 42)).toMSecsSinceEpoch();
QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
QStringList taken(LinkLog &log)
{
    QStringList lines;
    for (const laser::LinkLogEntry &e : log.takePending())
        lines << laser::formatLine(e);
    return lines;
}
} // namespace

class LinkLogTest : public QObject
{
    Q_OBJECT

private slots:
    // A received payload is shown as the whole frame it came in.
    void lines_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("line");
        QTest::newRow("frame") << "frame" << "12:00:01.042  RX    A5 5A 00 1E 00 00 04 65 00 00 03 EE FF";
        QTest::newRow("decoded, no payload") << "status" << "12:00:01.042  RX    1.50 A  25 °C  internal  pump normal  TEC locked";
        QTest::newRow("skipped") << "skipped" << "12:00:01.042  SKIP  00 A5 FF  (3 bytes)";
        QTest::newRow("command") << "command" << "12:00:01.042  TX    A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB";
        QTest::newRow("event with detail") << "open" << "12:00:01.042  ----  open  /dev/ttyUSB0";
        QTest::newRow("event without") << "lost" << "12:00:01.042  ----  lost";
    }
    void lines()
    {
        QFETCH(QString, kind);
        QFETCH(QString, line);
        LinkLog log;
        laser::Reading r;
        r.currentA = 1.5, r.temperatureC = 25, r.pumpSupplyNormal = true, r.tecLocked = true;
        if (kind == "frame")
            log.frame(noon, hex("001e0000046500 0003"));
        else if (kind == "status")
            log.status(noon, r);
        else if (kind == "skipped")
            log.skipped(noon, hex("00a5ff"));
        else if (kind == "command")
            log.command(noon, hex("a55a000c22000014 1e0000fafb"));
        else if (kind == "open")
            log.event(noon, LinkEvent::Open, "/dev/ttyUSB0");
        else
            log.event(noon, LinkEvent::Lost, QString());
        QCOMPARE(taken(log), QStringList{line});
    }

    // Garbage, frames, commands and losses as a session brings them; once raw payloads come,
    // each frame is one line, not two.
    void counters()
    {
        LinkLog log;
        laser::Reading r;
        log.event(noon, LinkEvent::Open, "p");
        log.skipped(noon, hex("0102"));
        for (int i = 0; i < 3; ++i) {
            log.frame(noon, hex("000000000000000003"));
            log.status(noon + i, r);
        }
        log.skipped(noon, hex("a5a5a5"));
        log.skipped(noon, QByteArray());
        log.command(noon, hex("a55a"));
        log.event(noon, LinkEvent::Lost, QString());
        log.event(noon, LinkEvent::Stale, QString());
        const laser::LinkCounters &c = log.counters();
        QCOMPARE((QList<qint64>{c.validFrames, c.bytesSkipped, c.commandsSent, c.linkLosses}),
                 (QList<qint64>{3, 5, 1, 1}));
        QCOMPARE(log.lastFrame(), noon + 2);
        QCOMPARE(taken(log).size(), 1 + 1 + 3 + 1 + 1 + 2);
        QCOMPARE(taken(log), QStringList());
    }

    // Only the newest lines wait for the window; older ones are gone, not shown late.
    void pendingBounded()
    {
        LinkLog log(4);
        for (int i = 0; i < 10; ++i)
            log.event(noon + 1000 * i, LinkEvent::Stale, QString::number(i));
        QCOMPARE(taken(log).join('|'), QString("12:00:07.042  ----  stale  6|12:00:08.042  ----  stale  7|"
                                              "12:00:09.042  ----  stale  8|12:00:10.042  ----  stale  9"));
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
        QFETCH(QString, text);
        QCOMPARE(laser::formatAge(ms), text);
    }

    void defaultRecordingName()
    {
        QCOMPARE(laser::defaultRecordingPath("/home/op/Documents", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
                 QString("/home/op/Documents/laserpanel-20260102-030405.csv"));
    }
};

QTEST_GUILESS_MAIN(LinkLogTest)
#include "tst_linklog.moc"
