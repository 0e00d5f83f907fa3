// Status frames: their reassembly from reads, and what their codes read as.
#include "statusdecode.h"
#include "statusframe.h"

#include <QtTest>

using Bytes = QList<QByteArray>;

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
QByteArray statusFrame(const QByteArray &payload) { return hex("a55a") + payload + hex("eeff"); }
const QByteArray p1 = hex("010203040506070809"), p2 = hex("112233445566778899");
} // namespace

class FramesTest : public QObject
{
    Q_OBJECT
    std::vector<double> slope{0, 0, 0, 0}, intercept{0, 0, 0, 0};

private slots:
    void initTestCase() { laser::computeCalibration(laser::calibrationDegrees(), laser::calibrationCodes(), slope, intercept); }

    // Every read's completed payloads, oldest first; and never a whole frame's worth held back.
    void reassembly_data()
    {
        QTest::addColumn<Bytes>("reads");
        QTest::addColumn<Bytes>("payloads");
        const QByteArray f1 = statusFrame(p1), f2 = statusFrame(p2);
        QTest::newRow("one frame") << Bytes{f1} << Bytes{p1};
        QTest::newRow("two frames in one read") << Bytes{f1 + f2} << Bytes{p1, p2};
        QTest::newRow("garbage around frames") << Bytes{hex("00ffa5eeff") + f1 + hex("5aa5a5") + f2 + hex("a5")} << Bytes{p1, p2};
        QTest::newRow("header A5 5B, 5A A5; trailer EE FE, FF FF")
            << Bytes{hex("a55b") + p1 + hex("eeff"), hex("5aa5") + p1 + hex("eeff"), hex("a55a") + p1 + hex("eefe"),
                     hex("a55a") + p1 + hex("ffff")} << Bytes{};
        QTest::newRow("4 and 12 bytes are no frames") << Bytes{hex("a55aeeff"), hex("a55a0102030405060708eeff")} << Bytes{};
        QTest::newRow("a header alone, then a frame") << Bytes{f1.left(2) + f2} << Bytes{p2};
        QTest::newRow("cut-off frame, whole one next read") << Bytes{f1.left(9), f2} << Bytes{p2};
        const QByteArray inner1 = hex("a55a0000a55a000000"), inner2 = hex("eeffeeffeeffeeffee");
        QTest::newRow("header and trailer inside payloads") << Bytes{statusFrame(inner1) + statusFrame(inner2)} << Bytes{inner1, inner2};
        QTest::newRow("empty and one-byte reads") << Bytes{QByteArray(), hex("a5"), QByteArray()} << Bytes{};
        QTest::newRow("no header in 40 bytes") << Bytes{QByteArray(40, '\x5a')} << Bytes{};
        Bytes single;
        for (char byte : f1 + hex("00a5") + f2)
            single << QByteArray(1, byte);
        QTest::newRow("byte at a time") << single << Bytes{p1, p2};
        for (int cut = 0; cut <= f1.size() + f2.size(); ++cut)
            QTest::addRow("split at %d", cut) << Bytes{(f1 + f2).left(cut), (f1 + f2).mid(cut)} << Bytes{p1, p2};
    }
    void reassembly()
    {
        QFETCH(Bytes, reads);
        laser::StatusFrameReassembler r;
        Bytes got;
        int fed = 0, skipped = 0;
        for (const QByteArray &read : reads) {
            fed += read.size();
            for (const auto &piece : r.receive(read)) {
                skipped += piece.skipped.size();
                if (!piece.payload.isEmpty())
                    got << piece.payload;
            }
        }
        QTEST(got, "payloads");
        QVERIFY(r.buffered() < laser::kStatusFrameSize);
        // Every byte is in a frame, shown as skipped, or still waiting.
        QCOMPARE(skipped + got.size() * laser::kStatusFrameSize + r.buffered(), fed);
    }

    // Skipped bytes travel with the frame after them; a last A5 may start a frame.
    void skippedBytesComeBeforeTheirFrame()
    {
        laser::StatusFrameReassembler r;
        QStringList pieces;
        for (const auto &piece : r.receive(hex("00ffa5eeff") + statusFrame(p1) + hex("5aa5a5") + statusFrame(p2) + hex("01a5")))
            pieces << piece.skipped.toHex() + '|' + piece.payload.toHex();
        QCOMPARE(pieces, (QStringList{"00ffa5eeff|" + p1.toHex(), "5aa5a5|" + p2.toHex(), "01|"}));
    }

    // How the readouts show a status code, through the calibration's fit. Temperatures are
    // truncated to whole degrees, not rounded (823 is still 0 degrees, 824 is 1).
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
        QTEST(QString::number(laser::currentFromCode(code), 'f', 2), "current");
        QTEST(laser::temperatureFromCode(code, slope, intercept), "degrees");
    }
};

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
