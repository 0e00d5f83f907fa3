// The simulated laser's encoding, read back the way the panel reads it.
#include "simlaser.h"
#include "statusdecode.h"

#include <QtTest>

#include <cmath>

class TestSim : public QObject {
    Q_OBJECT
private slots:
    // The panel's own readers check the simulator, whose encoding is written independently
    // from the frame layout: every current reads as the nearest the table offers; below 1 A
    // the code is 0, read as 0.00 A, and far above the table the top code.
    void currentNearest()
    {
        for (double a = 0.0; a <= 51.0; a += 0.001) {
            double best = a < 1.0 ? 0.0 : 1e9;
            for (int c = 20; c <= 163 && a >= 1.0; ++c)
                best = std::min(best, std::fabs(laser::currentFromCode(c) - a));
            const double read = laser::currentFromCode(sim::codeForCurrent(a));
            QVERIFY2(std::fabs(read - (a < 1.0 ? 0.0 : a)) <= best + 1e-9, qPrintable(QString("%1 A reads as %2 A").arg(a).arg(read)));
        }
    }

    // Every whole degree on the table, and half a degree short of either neighbour, reads as
    // that degree; a degree off the table reads as out of range. A code off by one either way
    // still reads the same, so a reader that differs from the panel in the last bit of a
    // division agrees too. The top degree owns only the table's last code.
    void temperatureWholeDegree()
    {
        std::vector<double> slope, intercept;
        laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
        for (int d = -1; d <= 41; ++d)   // -1 and 41: off the table
            for (double celsius : {d - 0.49, d + 0.0, d + 0.49}) {
                const int degree = d < 0 || d > 40 ? laser::kTemperatureOutOfRange : d, code = sim::codeForTemperature(celsius);
                for (int near : {code, code - 1, code + 1})
                    if (near == code || (degree >= 0 && degree < 40))
                        QVERIFY2(laser::temperatureFromCode(near, slope, intercept) == degree, qPrintable(QString::number(celsius)));
            }
    }

    // amps, celsius, set point, trigger, faults.
    void statusFrame_data()
    {
        QTest::addColumn<QVector<double>>("pump");
        QTest::addColumn<QString>("frame");
        QTest::newRow("cold start") << QVector<double>{0, 22, 25, 0, 0} << "A5 5A 00 00 00 00 04 8D 00 00 01 EE FF";
        QTest::newRow("settled, external") << QVector<double>{2.4, 25, 25, 1, 0} << "A5 5A 00 31 01 00 04 BC 00 00 03 EE FF";
        QTest::newRow("0.5 under: locked") << QVector<double>{4.04, 24.5, 25, 0, 0} << "A5 5A 00 52 00 00 04 BC 00 00 03 EE FF";
        QTest::newRow("0.6 over: unlocked") << QVector<double>{4.04, 25.6, 25, 0, 0} << "A5 5A 00 52 00 00 04 CC 00 00 01 EE FF";
        QTest::newRow("pump supply fault") << QVector<double>{2.4, 25, 25, 1, sim::PumpSupplyFault} << "A5 5A 00 31 01 00 04 BC 00 00 02 EE FF";
        QTest::newRow("TEC fault, locked") << QVector<double>{2.4, 25, 25, 1, sim::TecUnlocked} << "A5 5A 00 31 01 00 04 BC 00 00 01 EE FF";
        QTest::newRow("off the table") << QVector<double>{2.4, 25, 25, 1, sim::TemperatureOffTable} << "A5 5A 00 31 01 00 06 E1 00 00 03 EE FF";
    }
    void statusFrame()
    {
        QFETCH(QVector<double>, pump);
        QFETCH(QString, frame);
        sim::Pump p;
        std::tie(p.current, p.temperature, p.setTemperature, p.trigger, p.faults) =
            std::make_tuple(pump[0], pump[1], pump[2], std::uint8_t(pump[3]), unsigned(pump[4]));
        const QString got = QString::fromStdString(sim::hex(p.statusFrame().data(), sim::frameSize));
        QCOMPARE(got, frame);
        if (p.faults & sim::TemperatureOffTable) {
            std::vector<double> slope, intercept;
            laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
            QCOMPARE(laser::temperatureFromCode(0x06E1, slope, intercept), laser::kTemperatureOutOfRange);
        }
    }

    void commandReader_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QStringList>("events");
        const QByteArray cmd = QByteArray::fromHex("A55A000C220000141E0000FAFB");
        const QString ok = "ok A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB";
        auto row = [](const char *name, const QByteArrayList &reads, const QStringList &events) { QTest::newRow(name) << reads << events; };
        row("header split, two in one read", {cmd.left(1), cmd.mid(1, 7), cmd.mid(8) + cmd}, {ok, ok});
        row("status trailer", {cmd.left(11) + "\xEE\xFF"}, {"bad A5 5A 00 0C 22 00 00 14 1E 00 00 EE FF"});
        row("noise ending in a lone header byte", {QByteArray::fromHex("0011A5") + cmd}, {"bad 00 11 A5", ok});
        row("cut short, then a frame, then cut short", {cmd.left(4), cmd, cmd.left(3)}, {"bad A5 5A 00 0C", ok, "bad A5 5A 00"});
    }
    void commandReader()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QStringList, events);
        sim::CommandReader r;
        auto feed = [&r](const QByteArray &b) { return r.feed(reinterpret_cast<const std::uint8_t *>(b.data()), std::size_t(b.size())); };
        QStringList got;
        for (int i = 0; i <= reads.size(); ++i)   // every read, then the flush
            for (const auto &e : i < reads.size() ? feed(reads[i]) : r.flush())
                got << QString(e.good ? "ok " : "bad ") + QString::fromStdString(sim::hex(e.bytes));
        QCOMPARE(got, events);
    }

    // Nothing in the noise can even begin a header, so a reader hunting for frames anywhere
    // in the stream finds only the real ones.
    void noiseNeverFrames()
    {
        std::mt19937 rng(42);
        for (int i = 0; i < 5000; ++i)
            QVERIFY(sim::hex(sim::garbage(rng)).find("A5") == std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
