// The simulated laser's encoding, read back the way the panel reads it.
#include "simlaser.h"
#include "statusdecode.h"

#include <QtTest>

#include <cmath>

class TestSim : public QObject {
    Q_OBJECT
private slots:
    // The panel's own readers check the simulator, whose encoding is written
    // independently from the frame layout.
    void currentNearest_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("below the table") << 0.0 << 0.999;
        QTest::newRow("the table") << 1.0 << 8.0;
        QTest::newRow("above the table") << 8.0 << 51.0;
    }
    void currentNearest()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        for (double a = from; a <= to + 1e-9; a += 0.001) {
            double best = a < 1.0 ? 0.0 : 1e9;   // below 1 A: code 0, read as 0.00 A
            for (int c = 20; c <= 163 && a >= 1.0; ++c)
                best = std::min(best, std::fabs(laser::currentFromCode(c) - a));
            const double read = laser::currentFromCode(sim::codeForCurrent(a));
            QVERIFY2(std::fabs(read - (a < 1.0 ? 0.0 : a)) <= best + 1e-9, qPrintable(QString("%1 A reads as %2 A").arg(a).arg(read)));
        }
    }

    void temperatureWholeDegree_data()
    {
        QTest::addColumn<double>("celsius");
        QTest::addColumn<int>("degree");
        for (int d = 0; d <= 40; ++d)
            for (double off : {-0.49, 0.0, 0.49})
                if (d + off >= 0 && d + off <= 40)
                    QTest::addRow("%d %+.2f", d, off) << d + off << d;
        for (double off : {-0.6, 40.6, 80.0})
            QTest::addRow("off the table %g", off) << off << -999;
    }
    void temperatureWholeDegree()
    {
        QFETCH(double, celsius);
        QFETCH(int, degree);
        std::vector<double> slope, intercept;
        laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
        // A code off by one either way still reads the same, so a reader that
        // differs from the panel in the last bit of a division agrees too. The
        // top degree owns only the table's last code.
        const int code = sim::codeForTemperature(celsius);
        for (int near : {code, code - 1, code + 1})
            if (near == code || (degree >= 0 && degree < 40))
                QCOMPARE(laser::temperatureFromCode(near, slope, intercept), degree);
    }

    // amps, celsius, set point, trigger.
    void statusFrame_data()
    {
        QTest::addColumn<QVector<double>>("pump");
        QTest::addColumn<QString>("frame");
        QTest::newRow("cold start") << QVector<double>{0, 22, 25, 0} << "A5 5A 00 00 00 00 04 8D 00 00 01 EE FF";
        QTest::newRow("settled, external") << QVector<double>{2.4, 25, 25, 1} << "A5 5A 00 31 01 00 04 BC 00 00 03 EE FF";
        QTest::newRow("full, trigger 2") << QVector<double>{8, 40, 40, 2} << "A5 5A 00 A3 02 00 05 A3 00 00 03 EE FF";
        QTest::newRow("0.5 under: locked") << QVector<double>{4.04, 24.5, 25, 0} << "A5 5A 00 52 00 00 04 BC 00 00 03 EE FF";
        QTest::newRow("0.6 over: unlocked") << QVector<double>{4.04, 25.6, 25, 0} << "A5 5A 00 52 00 00 04 CC 00 00 01 EE FF";
        QTest::newRow("0 degrees") << QVector<double>{1, 0, 0, 0} << "A5 5A 00 14 00 00 03 30 00 00 03 EE FF";
    }
    void statusFrame()
    {
        QFETCH(QVector<double>, pump);
        QFETCH(QString, frame);
        sim::Pump p;
        std::tie(p.current, p.temperature, p.setTemperature, p.trigger) = std::make_tuple(pump[0], pump[1], pump[2], std::uint8_t(pump[3]));
        QCOMPARE(QString::fromStdString(sim::hex(p.statusFrame().data(), sim::frameSize)), frame);
    }

    void commandReader_data()
    {
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<QStringList>("events");
        const QString cmd = "A55A000C220000141E0000FAFB", ok = "ok A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB";
        QTest::newRow("one read") << QStringList{cmd} << QStringList{ok};
        QTest::newRow("header split") << QStringList{cmd.left(2), cmd.mid(2, 14), cmd.mid(16)} << QStringList{ok};
        QTest::newRow("two in one read") << QStringList{cmd + cmd} << QStringList{ok, ok};
        QTest::newRow("status trailer") << QStringList{cmd.left(22) + "EEFF"} << QStringList{"bad A5 5A 00 0C 22 00 00 14 1E 00 00 EE FF"};
        QTest::newRow("noise, then a frame") << QStringList{"0011", cmd} << QStringList{"bad 00 11", ok};
        QTest::newRow("header byte doubled") << QStringList{"A5" + cmd} << QStringList{"bad A5", ok};
        QTest::newRow("cut short, then a frame") << QStringList{"A55A000C", cmd} << QStringList{"bad A5 5A 00 0C", ok};
        QTest::newRow("incomplete at the end") << QStringList{cmd, "A55A00"} << QStringList{ok, "bad A5 5A 00"};
    }
    void commandReader()
    {
        QFETCH(QStringList, reads);
        QFETCH(QStringList, events);
        sim::CommandReader r;
        QStringList got;
        for (int i = 0; i <= reads.size(); ++i) {   // every read, then the flush
            const QByteArray b = QByteArray::fromHex(reads.value(i).toLatin1());
            const auto *data = reinterpret_cast<const std::uint8_t *>(b.constData());
            for (const auto &e : i < reads.size() ? r.feed(data, std::size_t(b.size())) : r.flush())
                got << QString(e.good ? "ok " : "bad ") + QString::fromStdString(sim::hex(e.bytes));
        }
        QCOMPARE(got, events);
    }

    void noiseNeverFrames()
    {
        std::mt19937 rng(42);
        // Nothing in the noise can even begin a header, so a reader hunting
        // for frames anywhere in the stream finds only the real ones.
        for (int i = 0; i < 5000; ++i) {
            const sim::Bytes g = sim::garbage(rng);
            QVERIFY(std::find(g.begin(), g.end(), 0xA5) == g.end());
        }
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
