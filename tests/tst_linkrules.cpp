// The stale rule, the setpoint arithmetic and the recording's time stamps, without a window.
#include "csvrecord.h"
#include "firmware.h"
#include "setpoint.h"
#include "stalerule.h"

#include <QtTest>

#include <ctime>

class LinkRulesTest : public QObject
{
    Q_OBJECT

private slots:
    // Typed text to a scroll position: out of range goes to the bound, text that
    // is no number counts as 0, frequencies are whole kHz cut to a step. What
    // the window shows of it is in tst_setpoints' typing rows.
    void typedSetpoint_data()
    {
        QTest::addColumn<QString>("field");   // A, ns, or the kHz step
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("clamped");
        QTest::newRow("7.001 A") << "A" << "7.001" << 35 << true;
        QTest::newRow("-1 A") << "A" << "-1" << 0 << true;
        QTest::newRow("1e400 A") << "A" << "1e400" << 35 << true;
        QTest::newRow("nan A") << "A" << "nan" << 0 << true;
        QTest::newRow("abc A") << "A" << "abc" << 0 << false;
        QTest::newRow("2.99 ns") << "ns" << "2.99" << 12 << true;
        QTest::newRow("1500 kHz in 10") << "10" << "1500" << 100 << true;
        QTest::newRow("3 kHz in 10") << "10" << "3" << 1 << true;
        QTest::newRow("300.5 kHz in 10") << "10" << "300.5" << 1 << true;
        QTest::newRow("overflow in 10") << "10" << "99999999999" << 100 << true;
        QTest::newRow("-overflow in 10") << "10" << "-99999999999" << 1 << true;
        QTest::newRow("950 kHz in 100") << "100" << "950" << 9 << false;
    }
    void typedSetpoint()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(bool, clamped);
        setpoint::Typed t{};
        if (field == "A")
            t = setpoint::fromDecimalText(text, setpoint::kCurrentStepsPerAmp, laser::kCurrentMinSteps, laser::kCurrentMaxSteps);
        else if (field == "ns")
            t = setpoint::fromDecimalText(text, setpoint::kPulseStepsPerNs, laser::kPulseMinSteps, laser::kPulseMaxSteps);
        else
            t = setpoint::fromFrequencyText(text, field.toInt(), laser::kFreqMinSteps, 1000 / field.toInt());
        QCOMPARE(std::make_pair(t.position, t.clamped), std::make_pair(position, clamped));
        QCOMPARE(setpoint::commandSteps(t.member), position);
    }

    // Frame times after a start at 0, then the time asked about.
    void staleRule_data()
    {
        QTest::addColumn<QList<qint64>>("frames");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("stale");
        QTest::newRow("silent since start, at the limit") << QList<qint64>{} << qint64(2000) << qint64(2000) << false;
        QTest::newRow("silent since start, past it") << QList<qint64>{} << qint64(2001) << qint64(2000) << true;
        QTest::newRow("one frame, no interval yet") << QList<qint64>{500} << qint64(2600) << qint64(2000) << true;
        QTest::newRow("5 Hz keeps the 2 s floor") << QList<qint64>{200, 400, 600, 800} << qint64(2900) << qint64(2000) << true;
        QTest::newRow("every 1 s: 5 s") << QList<qint64>{1000, 2000, 3000, 4000} << qint64(8900) << qint64(5000) << false;
        QTest::newRow("every 1 s, past 5 s") << QList<qint64>{1000, 2000, 3000, 4000} << qint64(9001) << qint64(5000) << true;
        // One long gap among short ones must not stretch the limit.
        QTest::newRow("median, not the outlier") << QList<qint64>{200, 400, 10400, 10600, 10800} << qint64(12801) << qint64(2000) << true;
        // Frames of one read share a time and say nothing about the rate.
        QTest::newRow("bursts every 1 s") << QList<qint64>{1000, 1000, 1000, 2000, 2000, 2000, 3000, 3000} << qint64(7900) << qint64(5000) << false;
    }
    void staleRule()
    {
        QFETCH(QList<qint64>, frames);
        QFETCH(qint64, at);
        laser::StaleRule rule;
        rule.frame(-5000);   // an earlier connection's frame
        rule.start(0);
        for (qint64 t : frames)
            rule.frame(t);
        QCOMPARE(rule.hasFrame(), !frames.isEmpty());
        QTEST(rule.limitMs(), "limit");
        QTEST(rule.isStale(at), "stale");
    }

    // Each row its own instant: the text of a second is kept for the next row.
    void isoTimeHasTheOffset_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("utc");
        QTest::addColumn<QString>("expected");
        QTest::newRow("UTC") << QByteArray("UTC0") << QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC) << "2026-01-02T03:04:05.006+00:00";
        QTest::newRow("west, half hour") << QByteArray("NST3:30") << QDateTime(QDate(2026, 1, 2), QTime(3, 4, 7, 999), Qt::UTC) << "2026-01-01T23:34:07.999-03:30";
        // Clocks go forward at 01:00 UTC: the second before and the one at it.
        const QByteArray berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        QTest::newRow("last second of winter time") << berlin << QDateTime(QDate(2026, 3, 29), QTime(0, 59, 59, 999), Qt::UTC) << "2026-03-29T01:59:59.999+01:00";
        QTest::newRow("first second of summer time") << berlin << QDateTime(QDate(2026, 3, 29), QTime(1, 0, 0, 0), Qt::UTC) << "2026-03-29T03:00:00.000+02:00";
        QTest::newRow("before 1970") << QByteArray("UTC0") << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 1), Qt::UTC) << "1969-12-31T23:59:59.001+00:00";
    }
    void isoTimeHasTheOffset()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, utc);
        const QByteArray saved = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        const QString got = laser::csv::isoTime(utc);
        qputenv("TZ", saved);
        tzset();
        QTEST(got, "expected");
    }

    // The columns docs/recording.md lists, by the first cells of its table.
    void documentedColumns()
    {
        QFile doc(RECORDING_MD);
        QVERIFY(doc.open(QIODevice::ReadOnly));
        QStringList listed;
        for (const QString &line : QString::fromUtf8(doc.readAll()).section("| Column | Meaning |\n|---|---|\n", 1, 1).section("\n\n", 0, 0).split('\n'))
            listed << line.section('|', 1, 1).remove(QRegularExpression("[` ]")).split(',');
        QCOMPARE(listed.join(','), laser::csv::columns());
    }
};

QTEST_APPLESS_MAIN(LinkRulesTest)
#include "tst_linkrules.moc"
