// The trend's series: segments, the bound, what breaks a line, and the lines drawn from it.
#include "gapcurve.h"
#include "gapseries.h"
#include "statusdecode.h"
#include "trenddata.h"

#include <qwt_scale_map.h>

#include <QtTest>

using laser::GapSeries;
using laser::LinkEvent;
using laser::TrendData;

namespace {
// "t:y" appends, "|" breaks; the result as segments "t:y t:y | t:y".
QString run(const QStringList &ops, std::size_t capacity = 100)
{
    GapSeries s(capacity);
    for (const QString &op : ops) {
        if (op == QLatin1String("|"))
            s.breakLine();
        else
            s.append(op.section(':', 0, 0).toDouble(), op.section(':', 1, 1).toDouble());
    }
    QStringList out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i > 0 && s.startsSegment(i))
            out << QStringLiteral("|");
        out << QStringLiteral("%1:%2").arg(s.t(i)).arg(s.y(i));
    }
    return out.join(' ');
}

// Segments of a series as "first..last" times.
QStringList segmentsOf(const GapSeries &s)
{
    QStringList out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s.startsSegment(i))
            out << QString::number(s.t(i));
        else
            out.last() = out.last().section("..", 0, 0) + ".." + QString::number(s.t(i));
    }
    return out;
}

laser::Reading reading(double a, int c)
{
    laser::Reading r;
    r.currentA = a;
    r.temperatureC = c;
    return r;
}

QwtScaleMap map(double s1, double s2, double p1, double p2)
{
    QwtScaleMap m;
    m.setScaleInterval(s1, s2);
    m.setPaintInterval(p1, p2);
    return m;
}
} // namespace

class TrendSeriesTest : public QObject
{
    Q_OBJECT

private slots:
    void segments_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QString>("kept");
        QTest::newRow("one line") << QStringList{"1:5", "2:6", "3:7"} << 10 << "1:5 2:6 3:7";
        QTest::newRow("break") << QStringList{"1:5", "|", "2:6", "3:7"} << 10 << "1:5 | 2:6 3:7";
        QTest::newRow("breaks without points between count once") << QStringList{"1:5", "|", "|", "2:6"} << 10 << "1:5 | 2:6";
        QTest::newRow("clock set back") << QStringList{"5:1", "6:1", "4:2", "7:2"} << 10 << "5:1 6:1 | 4:2 7:2";
        QTest::newRow("full: oldest go") << QStringList{"1:1", "2:2", "3:3", "4:4", "5:5"} << 3 << "3:3 4:4 5:5";
        QTest::newRow("full: segment start survives wrap") << QStringList{"1:1", "2:2", "|", "3:3", "4:4", "5:5"} << 4 << "2:2 | 3:3 4:4 5:5";
    }
    void segments()
    {
        QFETCH(QStringList, ops);
        QFETCH(int, capacity);
        QFETCH(QString, kept);
        QCOMPARE(run(ops, std::size_t(capacity)), kept);
    }

    // A day at 5 frames/s fits; one more drops the oldest, and lookups still work over the ring.
    void dayFits()
    {
        GapSeries s;
        const std::size_t day = 24 * 3600 * 5;
        QVERIFY(s.capacity() >= day);
        for (std::size_t i = 0; i <= s.capacity(); ++i)
            s.append(double(i) * 200.0, double(i % 7));
        QCOMPARE(s.size(), s.capacity());
        QCOMPARE(s.dropped(), std::size_t(1));
        QCOMPARE(s.t(0), 200.0);
        QCOMPARE(s.lowerBound(1000.0 * 3600.0), std::size_t(5 * 3600 - 1));
        double lo = 0, hi = 0;
        QVERIFY(s.valueRange(200.0, 1200.0, lo, hi));
        QCOMPARE(std::make_pair(lo, hi), std::make_pair(1.0, 6.0));
    }

    // What each link event does to the lines, given points before and after it.
    void linkEvents_data()
    {
        QTest::addColumn<LinkEvent>("event");
        QTest::addColumn<QStringList>("readings");  // current, temperature segments
        QTest::addColumn<QStringList>("setpoint");
        QTest::newRow("open") << LinkEvent::Open << QStringList{"0..200", "400..600"} << QStringList{"100..300"};
        QTest::newRow("close") << LinkEvent::Close << QStringList{"0..200", "400..600"} << QStringList{"100..300"};
        QTest::newRow("lost") << LinkEvent::Lost << QStringList{"0..200", "400..600"} << QStringList{"100..300"};
        QTest::newRow("stale") << LinkEvent::Stale << QStringList{"0..200", "400..600"} << QStringList{"100"};
        QTest::newRow("recovered") << LinkEvent::Recovered << QStringList{"0..600"} << QStringList{"100"};
        QTest::newRow("recording started") << LinkEvent::RecordingStarted << QStringList{"0..600"} << QStringList{"100"};
    }
    void linkEvents()
    {
        QFETCH(LinkEvent, event);
        QFETCH(QStringList, readings);
        QFETCH(QStringList, setpoint);
        TrendData d;
        d.status(0, reading(1.0, 25));
        d.command(100, laser::setpointsFromSteps(false, 10, 20, 30, 10, 34));
        d.status(200, reading(1.5, 25));
        d.event(300, event);
        d.status(400, reading(2.0, 26));
        d.status(600, reading(2.0, 26));
        QCOMPARE(segmentsOf(d.current()), readings);
        QCOMPARE(segmentsOf(d.temperature()), readings);
        QCOMPARE(segmentsOf(d.setpoint()), setpoint);
        QCOMPARE(d.setpoint().y(d.setpoint().size() - 1), 2.0);
        QCOMPARE(d.latestTime(), 600.0);
    }

    // No stale event came, yet the frames stopped for longer than the stale limit (2 s at
    // 5 frames/s; exactly 2 s is not yet stale); a temperature outside the calibration leaves a gap in temperature only.
    void silencesWithoutEvents()
    {
        TrendData d;
        for (qint64 ms : {0, 200, 400, 600, 2600, 4700, 4900, 7000})
            d.status(ms, reading(1.0, ms == 4900 ? laser::kTemperatureOutOfRange : 25));
        QCOMPARE(segmentsOf(d.current()), (QStringList{"0..2600", "4700..4900", "7000"}));
        QCOMPARE(segmentsOf(d.temperature()), (QStringList{"0..2600", "4700", "7000"}));
    }

    // Drawn lines: one per segment in view (plus the neighbours just outside), never
    // joined across a gap; a step line holds each value up to the next point and the
    // open end up to the hold time.
    void lines_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<bool>("steps");
        QTest::addColumn<double>("holdUntil");
        QTest::addColumn<QString>("lines");
        // Time 0..100 onto pixels 0..100, value 0..10 onto 100..0.
        QTest::newRow("gap") << QStringList{"10:1", "20:2", "|", "30:3", "40:4"} << false << qQNaN() << "10,90 20,80 | 30,70 40,60";
        QTest::newRow("lone point") << QStringList{"10:1", "|", "30:3", "|", "50:5"} << false << qQNaN() << "10,90 | 30,70 | 50,50";
        QTest::newRow("neighbours outside") << QStringList{"-50:1", "50:2", "150:3", "250:4"} << false << qQNaN() << "-50,90 50,80 150,70";
        QTest::newRow("steps held to now") << QStringList{"10:1", "30:3"} << true << 60.0 << "10,90 30,90 30,70 60,70";
        QTest::newRow("closed steps not held") << QStringList{"10:1", "30:3", "|"} << true << 60.0 << "10,90 30,90 30,70";
    }
    void lines()
    {
        QFETCH(QStringList, ops);
        QFETCH(bool, steps);
        QFETCH(double, holdUntil);
        QFETCH(QString, lines);
        GapSeries s;
        for (const QString &op : ops) {
            if (op == QLatin1String("|"))
                s.breakLine();
            else
                s.append(op.section(':', 0, 0).toDouble(), op.section(':', 1, 1).toDouble());
        }
        QStringList drawn;
        for (const QPolygonF &line : laser::tracePolylines(s, map(0, 100, 0, 100), map(0, 10, 100, 0), steps, holdUntil)) {
            QStringList points;
            for (const QPointF &p : line)
                points << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
            drawn << points.join(' ');
        }
        QCOMPARE(drawn.join(" | "), lines);
    }

    // A day of points across 500 pixels: at most four points per pixel column, and every
    // spike and dip still reaches its column.
    void decimation()
    {
        GapSeries s;
        const int n = 432000;
        for (int i = 0; i < n; ++i)
            s.append(double(i), i == 123457 ? 9.0 : i == 300001 ? -9.0 : std::sin(i / 1000.0));
        const auto lines = laser::tracePolylines(s, map(0, n - 1, 0, 500), map(-10, 10, 200, 0));
        QCOMPARE(lines.size(), 1);
        const QPolygonF &line = lines.first();
        QVERIFY2(line.size() <= 4 * 502, qPrintable(QString::number(line.size())));
        const QRectF box = line.boundingRect();
        QCOMPARE(box.top(), 10.0);      // the +9 spike
        QCOMPARE(box.bottom(), 190.0);  // the -9 dip
        for (int i = 1; i < line.size(); ++i)
            QVERIFY(line[i].x() >= line[i - 1].x());
    }
};

QTEST_GUILESS_MAIN(TrendSeriesTest)
#include "tst_trendseries.moc"
