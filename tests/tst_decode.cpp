// Status code conversions and the temperature calibration.
#include "statusdecode.h"

#include <QtTest>

class DecodeTest : public QObject
{
    Q_OBJECT

private slots:
    void calibration();
    void current_data();
    void current();
    void temperature_data();
    void temperature();
    void everyDegreeHasItsCodes();
    void unpack();
};

void DecodeTest::calibration()
{
    std::vector<double> slope(4, 0.0), intercept(4, 0.0);
    laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
    QCOMPARE(slope, (std::vector<double>{15.8, 15.9, 15.9, 15.9}));
    QCOMPARE(intercept, (std::vector<double>{808.0, 807.0, 807.0, 807.0}));

    // Fewer than two points fit nothing and leave the coefficients alone.
    std::vector<double> untouched(4, 0.0), untouched2(4, 0.0);
    laser::computeCalibration({10}, {900}, untouched, untouched2);
    laser::computeCalibration({}, {}, untouched, untouched2);
    QCOMPARE(untouched, std::vector<double>(4, 0.0));
}

void DecodeTest::current_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    const struct { int code; const char *shown; } rows[] = {
        {0, "0.00"}, {19, "0.00"}, {20, "1.00"}, {30, "1.50"}, {40, "2.00"},
        {41, "2.04"}, {44, "2.16"}, {45, "2.20"}, {81, "4.00"},
        {82, "4.04"}, {86, "4.20"}, {87, "4.25"}, {126, "6.20"},
        {127, "6.24"}, {131, "6.40"}, {132, "6.45"}, {163, "8.00"},
        {164, "0.00"}, {256, "0.00"}, {276, "0.00"}, {65535, "0.00"}, {-1, "0.00"},
    };
    for (const auto &r : rows)
        QTest::addRow("code %d", r.code) << r.code << QString::fromLatin1(r.shown);
}

void DecodeTest::current()
{
    QFETCH(int, code);
    QFETCH(QString, shown);
    QCOMPARE(QString::number(laser::currentFromCode(code), 'f', 2), shown);
}

void DecodeTest::temperature_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("degrees");
    const int rows[][2] = {
        {0, -999}, {807, -999}, {808, 0}, {823, 0}, {824, 1}, {966, 10}, {967, 10},
        {1125, 20}, {1126, 20}, {1284, 30}, {1285, 30}, {1443, 40}, {1444, -999},
        {65535, -999}, {1000, 12},
    };
    for (const auto &r : rows)
        QTest::addRow("code %d", r[0]) << r[0] << r[1];
}

void DecodeTest::temperature()
{
    QFETCH(int, code);
    QFETCH(int, degrees);
    std::vector<double> slope(4, 0.0), intercept(4, 0.0);
    laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
    QCOMPARE(laser::temperatureFromCode(code, slope, intercept), degrees);
}

void DecodeTest::everyDegreeHasItsCodes()
{
    // Truncation, not rounding: each whole degree covers 15 or 16 codes, and
    // the readings never step back.
    std::vector<double> slope(4, 0.0), intercept(4, 0.0);
    laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept);
    QVector<int> codesPerDegree(41, 0);
    int previous = 0;
    for (int code = 808; code <= 1443; ++code) {
        const int t = laser::temperatureFromCode(code, slope, intercept);
        QVERIFY2(t >= previous && t <= 40, qPrintable(QString::number(code)));
        ++codesPerDegree[t];
        previous = t;
    }
    for (int degree = 0; degree < 40; ++degree)
        QVERIFY2(codesPerDegree[degree] == 15 || codesPerDegree[degree] == 16, qPrintable(QString::number(degree)));
}

void DecodeTest::unpack()
{
    std::vector<int> target{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    laser::unpackPayload(QByteArray::fromHex("00ff80a55a7f01eeff"), target);
    QCOMPARE(target, (std::vector<int>{0, 255, 128, 165, 90, 127, 1, 238, 255}));
    laser::unpackPayload(QByteArray(), target);
    QVERIFY(target.empty());
}

QTEST_APPLESS_MAIN(DecodeTest)
#include "tst_decode.moc"
