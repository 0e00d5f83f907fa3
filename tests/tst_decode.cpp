// Status code conversions and the temperature calibration.
#include "statusdecode.h"

#include <QtTest>

class DecodeTest : public QObject
{
    Q_OBJECT
    std::vector<double> slope{0, 0, 0, 0}, intercept{0, 0, 0, 0};

private slots:
    void initTestCase() { laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept); }

    void calibration()
    {
        QCOMPARE(slope, (std::vector<double>{15.8, 15.9, 15.9, 15.9}));
        QCOMPARE(intercept, (std::vector<double>{808.0, 807.0, 807.0, 807.0}));
        // Fewer than two points fit nothing and leave the coefficients alone.
        std::vector<double> untouched(4, 1.0);
        laser::computeCalibration({10}, {900}, untouched, untouched);
        laser::computeCalibration({}, {}, untouched, untouched);
        QCOMPARE(untouched, std::vector<double>(4, 1.0));
    }

    // How the current and temperature readouts show a status code. Temperatures are truncated
    // to whole degrees, not rounded (823 is still 0 degrees, 824 is 1).
    void decode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("degrees");
        const struct { int code; const char *current; int degrees; } rows[] = {
            {-1, "0.00", -999}, {19, "0.00", -999}, {20, "1.00", -999}, {30, "1.50", -999}, {40, "2.00", -999},
            {41, "2.04", -999}, {44, "2.16", -999}, {45, "2.20", -999}, {81, "4.00", -999}, {82, "4.04", -999},
            {86, "4.20", -999}, {87, "4.25", -999}, {126, "6.20", -999}, {127, "6.24", -999}, {131, "6.40", -999},
            {132, "6.45", -999}, {163, "8.00", -999}, {164, "0.00", -999}, {276, "0.00", -999}, {807, "0.00", -999},
            {808, "0.00", 0}, {823, "0.00", 0}, {824, "0.00", 1}, {966, "0.00", 10}, {967, "0.00", 10},
            {1000, "0.00", 12}, {1125, "0.00", 20}, {1126, "0.00", 20}, {1284, "0.00", 30}, {1285, "0.00", 30},
            {1443, "0.00", 40}, {1444, "0.00", -999}, {65535, "0.00", -999},
        };
        for (const auto &r : rows)
            QTest::addRow("code %d", r.code) << r.code << QString::fromLatin1(r.current) << r.degrees;
    }
    void decode()
    {
        QFETCH(int, code);
        QFETCH(QString, current);
        QFETCH(int, degrees);
        QCOMPARE(QString::number(laser::currentFromCode(code), 'f', 2), current);
        QCOMPARE(laser::temperatureFromCode(code, slope, intercept), degrees);
    }

    void unpack()
    {
        std::vector<int> target{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
        laser::unpackPayload(QByteArray::fromHex("00ff80a55a7f01eeff"), target);
        QCOMPARE(target, (std::vector<int>{0, 255, 128, 165, 90, 127, 1, 238, 255}));
        laser::unpackPayload(QByteArray(), target);
        QVERIFY(target.empty());
    }
};

QTEST_APPLESS_MAIN(DecodeTest)
#include "tst_decode.moc"
