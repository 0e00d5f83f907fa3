// The simulated laser's encoding, read back the way the panel reads it.
#include "simlaser.h"
#include "statusdecode.h"

#include <QtTest>

#include <cmath>

namespace {

// The panel's own readers check the simulator, whose encoding is written
// independently from the frame layout.
double panelAmps(int code)
{
    return laser::currentFromCode(code);
}

int panelDegrees(int code)
{
    static std::vector<double> slope, intercept;
    if (slope.empty())
        laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
    return laser::temperatureFromCode(code, slope, intercept);
}

sim::Frame frameOf(const QString &text)
{
    const QByteArray b = QByteArray::fromHex(text.toLatin1());
    sim::Frame f{};
    for (int i = 0; i < b.size() && i < int(f.size()); ++i)
        f[std::size_t(i)] = std::uint8_t(b[i]);
    return f;
}

QString hexOf(const sim::Frame &f)
{
    return QString::fromStdString(sim::hex(f.data(), f.size()));
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
private slots:
    void currentNearest_data();
    void currentNearest();
    void temperatureWholeDegree_data();
    void temperatureWholeDegree();
    void statusFrame_data();
    void statusFrame();
    void commandLine_data();
    void commandLine();
    void commandReader_data();
    void commandReader();
    void noiseNeverFrames_data();
    void noiseNeverFrames();
};

void TestSim::currentNearest_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::newRow("below the table") << 0.0 << 0.999;
    QTest::newRow("1.00 to 2.20") << 1.0 << 2.2;
    QTest::newRow("3.90 to 4.30") << 3.9 << 4.3;
    QTest::newRow("6.10 to 6.50") << 6.1 << 6.5;
    QTest::newRow("7.90 to 8.00") << 7.9 << 8.0;
    QTest::newRow("above the table") << 8.0 << 51.0;
}

void TestSim::currentNearest()
{
    QFETCH(double, from);
    QFETCH(double, to);
    for (double a = from; a <= to + 1e-9; a += 0.001) {
        const double read = panelAmps(sim::codeForCurrent(a));
        if (a < 1.0) {
            QCOMPARE(read, 0.0);
            continue;
        }
        double best = 1e9;
        for (int c = 20; c <= 163; ++c)
            best = std::min(best, std::fabs(panelAmps(c) - a));
        if (std::fabs(read - a) > best + 1e-9)
            QFAIL(qPrintable(QString("%1 A reads as %2 A").arg(a).arg(read)));
    }
}

void TestSim::temperatureWholeDegree_data()
{
    QTest::addColumn<double>("celsius");
    QTest::addColumn<int>("degree");
    for (int d = 0; d <= 40; ++d) {
        QTest::addRow("%d", d) << double(d) << d;
        if (d > 0)
            QTest::addRow("%d - 0.49", d) << d - 0.49 << d;
        if (d < 40)
            QTest::addRow("%d + 0.49", d) << d + 0.49 << d;
    }
    QTest::newRow("just below the table") << -0.6 << -999;
    QTest::newRow("just above the table") << 40.6 << -999;
    QTest::newRow("far above") << 80.0 << -999;
}

void TestSim::temperatureWholeDegree()
{
    QFETCH(double, celsius);
    QFETCH(int, degree);
    const int code = sim::codeForTemperature(celsius);
    QCOMPARE(panelDegrees(code), degree);
    // A code off by one either way still reads the same, so a reader that
    // differs from the panel in the last bit of a division agrees too. The
    // top degree owns only the table's last code.
    if (degree >= 0 && degree < 40) {
        QCOMPARE(panelDegrees(code - 1), degree);
        QCOMPARE(panelDegrees(code + 1), degree);
    }
}

void TestSim::statusFrame_data()
{
    QTest::addColumn<double>("amps");
    QTest::addColumn<double>("celsius");
    QTest::addColumn<double>("setPoint");
    QTest::addColumn<int>("trigger");
    QTest::addColumn<QString>("frame");
    QTest::newRow("cold start") << 0.0 << 22.0 << 25.0 << 0 << "A5 5A 00 00 00 00 04 8D 00 00 01 EE FF";
    QTest::newRow("settled, external") << 2.4 << 25.0 << 25.0 << 1 << "A5 5A 00 31 01 00 04 BC 00 00 03 EE FF";
    QTest::newRow("full current, odd trigger byte")
        << 8.0 << 40.0 << 40.0 << 2 << "A5 5A 00 A3 02 00 05 A3 00 00 03 EE FF";
    QTest::newRow("half a degree under: locked") << 4.04 << 24.5 << 25.0 << 0 << "A5 5A 00 52 00 00 04 BC 00 00 03 EE FF";
    QTest::newRow("0.6 over: unlocked") << 4.04 << 25.6 << 25.0 << 0 << "A5 5A 00 52 00 00 04 CC 00 00 01 EE FF";
    QTest::newRow("0 degrees") << 1.0 << 0.0 << 0.0 << 0 << "A5 5A 00 14 00 00 03 30 00 00 03 EE FF";
}

void TestSim::statusFrame()
{
    QFETCH(double, amps);
    QFETCH(double, celsius);
    QFETCH(double, setPoint);
    QFETCH(int, trigger);
    QFETCH(QString, frame);
    sim::Pump p;
    p.current = amps;
    p.temperature = celsius;
    p.setTemperature = setPoint;
    p.trigger = std::uint8_t(trigger);
    QCOMPARE(hexOf(p.statusFrame()), frame);
}

void TestSim::commandLine_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<bool>("v12");
    QTest::addColumn<QString>("line");
    QTest::newRow("v1.2 steps of 100 kHz")
        << "A55A012922000015030000FAFB" << true
        << "command: trigger=external current=8.20 A pulse=5.25 ns freq=300 kHz temp=34 raw=A5 5A 01 29 22 00 00 15 03 00 00 FA FB";
}

void TestSim::commandLine()
{
    QFETCH(QString, raw);
    QFETCH(bool, v12);
    QFETCH(QString, line);
    const std::string got = sim::commandLine(frameOf(raw), v12 ? sim::Variant::v12 : sim::Variant::v13);
    QCOMPARE(QString::fromStdString(got), line);
}

void TestSim::commandReader_data()
{
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QStringList>("events");
    const QString cmd = "A55A000C220000141E0000FAFB";
    const QString ok = "ok A5 5A 00 0C 22 00 00 14 1E 00 00 FA FB";
    QTest::newRow("one read") << QStringList{cmd} << QStringList{ok};
    QTest::newRow("1 + 12") << QStringList{cmd.left(2), cmd.mid(2)} << QStringList{ok};
    QTest::newRow("three reads") << QStringList{cmd.left(6), cmd.mid(6, 10), cmd.mid(16)} << QStringList{ok};
    QTest::newRow("two in one read") << QStringList{cmd + cmd} << QStringList{ok, ok};
    QTest::newRow("status trailer")
        << QStringList{"A55A000C220000141E0000EEFF"} << QStringList{"bad A5 5A 00 0C 22 00 00 14 1E 00 00 EE FF"};
    QTest::newRow("noise, then a frame") << QStringList{"0011", cmd} << QStringList{"bad 00 11", ok};
    QTest::newRow("header byte doubled") << QStringList{"A5" + cmd} << QStringList{"bad A5", ok};
    QTest::newRow("cut short, then a frame")
        << QStringList{"A55A000C", cmd} << QStringList{"bad A5 5A 00 0C", ok};
    QTest::newRow("incomplete at the end") << QStringList{cmd, "A55A00"} << QStringList{ok, "bad A5 5A 00"};
}

void TestSim::commandReader()
{
    QFETCH(QStringList, reads);
    QFETCH(QStringList, events);
    sim::CommandReader r;
    QStringList got;
    auto take = [&got](const std::vector<sim::CommandReader::Event> &es) {
        for (const auto &e : es)
            got << QString(e.good ? "ok " : "bad ") + QString::fromStdString(sim::hex(e.bytes));
    };
    for (const QString &read : reads) {
        const QByteArray b = QByteArray::fromHex(read.toLatin1());
        take(r.feed(reinterpret_cast<const std::uint8_t *>(b.constData()), std::size_t(b.size())));
    }
    take(r.flush());
    QCOMPARE(got, events);
}

void TestSim::noiseNeverFrames_data()
{
    QTest::addColumn<uint>("seed");
    for (uint s : {1u, 2u, 42u, 4242u})
        QTest::addRow("seed %u", s) << s;
}

void TestSim::noiseNeverFrames()
{
    QFETCH(uint, seed);
    std::mt19937 rng(seed);
    sim::Pump p;
    const sim::Frame f = p.statusFrame();
    sim::Bytes line;
    const int frames = 200;
    for (int i = 0; i < frames; ++i) {
        std::size_t written = 0;
        for (std::size_t piece : sim::splitSizes(rng)) {
            QVERIFY(piece > 0);
            written += piece;
        }
        QCOMPARE(written, sim::frameSize);
        line.insert(line.end(), f.begin(), f.end());
        const sim::Bytes g = sim::garbage(rng);
        line.insert(line.end(), g.begin(), g.end());
    }
    // Nothing in the noise can even begin a header, so a reader hunting for
    // frames anywhere in the stream finds only the real ones.
    int starts = 0, found = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        starts += line[i] == 0xA5;
        found += i + sim::frameSize <= line.size() && line[i] == 0xA5 && line[i + 1] == 0x5A
                 && line[i + 11] == 0xEE && line[i + 12] == 0xFF;
    }
    QCOMPARE(starts, frames);
    QCOMPARE(found, frames);
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
