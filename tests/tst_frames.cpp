// Command frame encoding and status frame reassembly.
#include "commandframe.h"
#include "statusframe.h"

#include <QRandomGenerator>
#include <QtTest>

using laser::StatusFrameReassembler;

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray statusFrame(const QByteArray &payload)
{
    return hex("a55a") + payload + hex("eeff");
}

QByteArray payloadNo(int n)
{
    QByteArray p(9, '\0');
    for (int i = 0; i < 9; ++i)
        p[i] = static_cast<char>((n * 9 + i) & 0xFF);
    return p;
}

QList<QByteArray> feedInPieces(StatusFrameReassembler &r, const QByteArray &bytes,
                               const QList<int> &cuts)
{
    QList<QByteArray> out;
    int from = 0;
    for (int cut : cuts) {
        out += r.feed(bytes.mid(from, cut - from));
        from = cut;
    }
    out += r.feed(bytes.mid(from));
    return out;
}
} // namespace

class FramesTest : public QObject
{
    Q_OBJECT

private slots:
    void commandFrame_data();
    void commandFrame();
    void reassembly_data();
    void reassembly();
    void splitAtEveryOffset();
    void byteAtATime();
    void randomStreamRecoversEveryFrame();
    void randomBytesStayBounded();
};

void FramesTest::commandFrame_data()
{
    QTest::addColumn<bool>("external");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("temperature");
    QTest::addColumn<int>("pulseWidth");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("initial v1.3") << false << 0 << 34 << 20 << 30 << hex("a5 5a 00 00 22 00 00 14 1e 00 00 fa fb");
    QTest::newRow("initial v1.2") << false << 0 << 34 << 20 << 3 << hex("a5 5a 00 00 22 00 00 14 03 00 00 fa fb");
    QTest::newRow("external trigger") << true << 0 << 34 << 20 << 30 << hex("a5 5a 01 00 22 00 00 14 1e 00 00 fa fb");
    QTest::newRow("full scale") << false << 35 << 34 << 60 << 100 << hex("a5 5a 00 23 22 00 00 3c 64 00 00 fa fb");
    QTest::newRow("low 8 bits of 300") << false << 300 << 34 << 20 << 30 << hex("a5 5a 00 2c 22 00 00 14 1e 00 00 fa fb");
    QTest::newRow("low 8 bits of -5") << false << -5 << 34 << 20 << 30 << hex("a5 5a 00 fb 22 00 00 14 1e 00 00 fa fb");
    QTest::newRow("256 wraps to 0") << false << 256 << 290 << 511 << -1 << hex("a5 5a 00 00 22 00 00 ff ff 00 00 fa fb");
}

void FramesTest::commandFrame()
{
    QFETCH(bool, external);
    QFETCH(int, current);
    QFETCH(int, temperature);
    QFETCH(int, pulseWidth);
    QFETCH(int, frequency);
    QFETCH(QByteArray, frame);
    QCOMPARE(laser::encodeCommandFrame(external, current, temperature, pulseWidth, frequency).toHex(' '),
             frame.toHex(' '));
}

void FramesTest::reassembly_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<QByteArray>>("payloads");

    const QByteArray p1 = hex("010203040506070809");
    const QByteArray p2 = hex("112233445566778899");
    const QByteArray f1 = statusFrame(p1);
    const QByteArray f2 = statusFrame(p2);
    using L = QList<QByteArray>;

    QTest::newRow("one frame") << L{f1} << L{p1};
    QTest::newRow("two frames in one read") << L{f1 + f2} << L{p1, p2};
    QTest::newRow("split 7 + 6") << L{f1.left(7), f1.mid(7)} << L{p1};
    QTest::newRow("extra byte after frame") << L{f1 + hex("00")} << L{p1};
    QTest::newRow("garbage around frames") << L{hex("00ffa5eeff") + f1 + hex("5aa5a5") + f2 + hex("a5")} << L{p1, p2};
    QTest::newRow("wrong header A5 5B") << L{hex("a55b") + p1 + hex("eeff")} << L{};
    QTest::newRow("reversed header 5A A5") << L{hex("5aa5") + p1 + hex("eeff")} << L{};
    QTest::newRow("short read is not a frame") << L{hex("a55aeeff")} << L{};
    QTest::newRow("12 bytes is not a frame") << L{hex("a55a0102030405060708eeff")} << L{};
    QTest::newRow("wrong trailer") << L{hex("a55a") + p1 + hex("eefe")} << L{};
    QTest::newRow("cut-off frame then whole one") << L{f1.left(9) + f2} << L{p2};
    QTest::newRow("cut-off frame, whole one next read") << L{f1.left(9), f2} << L{p2};
    QTest::newRow("header inside payload") << L{statusFrame(hex("a55a0000a55a000000"))} << L{hex("a55a0000a55a000000")};
    QTest::newRow("stray A5 before header") << L{hex("a5") + f1} << L{p1};
    QTest::newRow("header split across reads") << L{hex("a5"), f1.mid(1)} << L{p1};
    QTest::newRow("empty and one-byte reads") << L{QByteArray(), hex("a5"), QByteArray()} << L{};
    QTest::newRow("payload of trailer bytes") << L{statusFrame(hex("eeffeeffeeffeeffee"))} << L{hex("eeffeeffeeffeeffee")};
}

void FramesTest::reassembly()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<QByteArray>, payloads);
    StatusFrameReassembler r;
    QList<QByteArray> got;
    for (const QByteArray &read : reads)
        got += r.feed(read);
    QCOMPARE(got, payloads);
    QVERIFY(r.buffered() < laser::kStatusFrameSize);
}

void FramesTest::splitAtEveryOffset()
{
    const QByteArray stream = statusFrame(payloadNo(1)) + statusFrame(payloadNo(2));
    for (int cut = 0; cut <= stream.size(); ++cut) {
        StatusFrameReassembler r;
        const QList<QByteArray> got = feedInPieces(r, stream, {cut});
        QCOMPARE(got, (QList<QByteArray>{payloadNo(1), payloadNo(2)}));
    }
}

void FramesTest::byteAtATime()
{
    const QByteArray stream = statusFrame(payloadNo(3)) + hex("00a5") + statusFrame(payloadNo(4));
    StatusFrameReassembler r;
    QList<QByteArray> got;
    for (char byte : stream)
        got += r.feed(QByteArray(1, byte));
    QCOMPARE(got, (QList<QByteArray>{payloadNo(3), payloadNo(4)}));
}

void FramesTest::randomStreamRecoversEveryFrame()
{
    // Garbage never holds A5, so nothing between frames can pass for a frame,
    // and a frame's own bytes may hold anything.
    QRandomGenerator rng(20261206);
    QByteArray stream;
    QList<QByteArray> sent;
    for (int n = 0; n < 2000; ++n) {
        QByteArray payload(9, '\0');
        for (char &b : payload)
            b = static_cast<char>(rng.bounded(256));
        sent.append(payload);
        stream += statusFrame(payload);
        const int garbage = rng.bounded(6);
        for (int g = 0; g < garbage; ++g)
            stream += static_cast<char>(rng.bounded(0xA5));
    }
    QList<int> cuts;
    for (int at = rng.bounded(1, 40); at < stream.size(); at += rng.bounded(1, 40))
        cuts.append(at);
    StatusFrameReassembler r;
    QCOMPARE(feedInPieces(r, stream, cuts), sent);
}

void FramesTest::randomBytesStayBounded()
{
    QRandomGenerator rng(7);
    StatusFrameReassembler r;
    int emitted = 0;
    for (int read = 0; read < 200; ++read) {
        QByteArray chunk(rng.bounded(1, 200), '\0');
        for (char &b : chunk)
            b = static_cast<char>(rng.bounded(256));
        for (const QByteArray &payload : r.feed(chunk)) {
            QCOMPARE(payload.size(), laser::kStatusPayloadSize);
            ++emitted;
        }
        QVERIFY(r.buffered() < laser::kStatusFrameSize);
    }
    QVERIFY(emitted < 5);
}

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
