// The trend's series: segments, the bound, what breaks a line, and the lines drawn from it.
#include "gapcurve.h"
#include "gapseries.h"
#include "statusdecode.h"
#include "trenddata.h"

#include <qwt_scale_map.h>

#include <QtTest>

using laser::GapSeries;
using laser::LinkEvent;

namespace {
// The points kept, segments apart: "t:y t:y | t:y".
QString kept(const GapSeries &s)
{
    QStringList out;
    for (std::size_t i = 0; i < s.size(); ++i)
        out << QStringLiteral("%1%2:%3").arg(i > 0 && s.startsSegment(i) ? "| " : "").arg(s.t(i)).arg(s.y(i));
    return out.join(' ');
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
    // The lines drawn from the points kept in the bounded ring: one
    // per segment in view (plus the neighbours just outside), never joined across a gap; a
    // step line holds each value up to the next point, and an open end up to the hold time.
    void series_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<bool>("steps");
        QTest::addColumn<QString>("lines");  // time 0..100 onto pixels 0..100, value 0..10 onto 100..0
        QTest::newRow("gaps, breaks without points between count once, lone point")
            << QStringList{"10:1", "20:2", "|", "|", "30:3", "|", "50:5", "|"} << 10 << false << "10,90 20,80 | 30,70 | 50,50";
        QTest::newRow("clock set back") << QStringList{"50:1", "60:1", "40:2", "70:2", "|"} << 10 << false << "50,90 60,90 | 40,80 70,80";
        QTest::newRow("full: oldest go, a segment start survives the wrap")
            << QStringList{"10:1", "20:2", "|", "30:3", "40:4", "50:5", "|"} << 4 << false << "20,80 | 30,70 40,60 50,50";
        QTest::newRow("neighbours outside") << QStringList{"-50:1", "50:2", "150:3", "250:4", "|"} << 10 << false << "-50,90 50,80 150,70";
        QTest::newRow("steps: closed, then held to now")
            << QStringList{"10:1", "30:3", "|", "40:5", "50:6"} << 10 << true << "10,90 30,90 30,70 | 40,50 50,50 50,40 60,40";
    }
    void series()
    {
        QFETCH(QStringList, ops);
        QFETCH(int, capacity);
        QFETCH(bool, steps);
        GapSeries s{std::size_t(capacity)};
        for (const QString &op : ops)   // "t:y" appends, "|" breaks
            op == "|" ? s.breakLine() : s.append(op.section(':', 0, 0).toDouble(), op.section(':', 1, 1).toDouble());
        QStringList drawn;
        for (const QPolygonF &line : laser::tracePolylines(s, map(0, 100, 0, 100), map(0, 10, 100, 0), steps, 60.0)) {
            QStringList points;
            for (const QPointF &p : line)
                points << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
            drawn << points.join(' ');
        }
        QTEST(drawn.join(" | "), "lines");
    }

    // What each link event at 300 does to the lines, given points before and after it.
    void linkEvents_data()
    {
        QTest::addColumn<LinkEvent>("event");
        QTest::addColumn<QString>("readings");  // current and temperature alike
        QTest::addColumn<QString>("setpoint");
        const QString broken = "0:1 200:2 | 400:3 600:3", held = "100:2 300:2";
        QTest::newRow("open") << LinkEvent::Open << broken << held;
        QTest::newRow("close") << LinkEvent::Close << broken << held;
        QTest::newRow("lost") << LinkEvent::Lost << broken << held;
        QTest::newRow("stale") << LinkEvent::Stale << broken << "100:2";
        QTest::newRow("recovered") << LinkEvent::Recovered << "0:1 200:2 400:3 600:3" << "100:2";
    }
    void linkEvents()
    {
        QFETCH(LinkEvent, event);
        laser::TrendData d;
        d.status(0, laser::Reading{1, 1});
        d.command(100, laser::WorkingPoint{false, 10, 34, 20, 30, 10});
        d.status(200, laser::Reading{2, 2});
        d.event(300, event);
        d.status(400, laser::Reading{3, 3});
        d.status(600, laser::Reading{3, 3});
        QTEST(kept(d.current()), "readings");
        QTEST(kept(d.temperature()), "readings");
        QTEST(kept(d.setpoint()), "setpoint");
    }

    // No stale event came, yet the frames stopped for longer than the stale limit (2 s at
    // 5 frames/s; exactly 2 s is not yet); a temperature outside the calibration leaves a
    // gap in temperature only.
    void silencesWithoutEvents()
    {
        laser::TrendData d;
        for (qint64 ms : {0, 200, 400, 600, 2600, 4601, 4801, 5001})
            d.status(ms, laser::Reading{1.0, ms == 4801 ? laser::kTemperatureOutOfRange : 25});
        QCOMPARE(kept(d.current()), QString("0:1 200:1 400:1 600:1 2600:1 | 4601:1 4801:1 5001:1"));
        QCOMPARE(kept(d.temperature()), QString("0:25 200:25 400:25 600:25 2600:25 | 4601:25 | 5001:25"));
    }

    // A day at 5 frames/s fits, one more drops the oldest, and lookups work over the ring.
    // Drawn across 500 pixels: at most four points per pixel column, and every spike and
    // dip still reaches its column.
    void dayLong()
    {
        GapSeries s;
        QVERIFY(s.capacity() >= std::size_t(24 * 3600 * 5));
        const int n = int(s.capacity()) + 1;
        for (int i = 0; i < n; ++i)
            s.append(i * 200.0, i == 123457 ? 9.0 : i == 300001 ? -9.0 : std::sin(i / 1000.0));
        QCOMPARE(std::make_pair(s.size(), s.dropped()), std::make_pair(s.capacity(), std::size_t(1)));
        QCOMPARE(s.lowerBound(1000.0 * 3600.0), std::size_t(5 * 3600 - 1));
        double lo = 0, hi = 0;
        QVERIFY(s.valueRange(123457 * 200.0, 300001 * 200.0, lo, hi));
        QCOMPARE(std::make_pair(lo, hi), std::make_pair(-9.0, 9.0));
        const auto lines = laser::tracePolylines(s, map(200, (n - 1) * 200.0, 0, 500), map(-10, 10, 200, 0));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().size() <= 4 * 502, qPrintable(QString::number(lines.first().size())));
        const QRectF box = lines.first().boundingRect();
        QCOMPARE(std::make_pair(box.top(), box.bottom()), std::make_pair(10.0, 190.0));
        for (int i = 1; i < lines.first().size(); ++i)
            QVERIFY(lines.first()[i].x() >= lines.first()[i - 1].x());
    }
};

QTEST_GUILESS_MAIN(TrendSeriesTest)
#include "tst_trendseries.moc"
