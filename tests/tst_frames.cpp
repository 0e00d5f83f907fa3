// Status frame reassembly.
#include "statusframe.h"

#include <QRandomGenerator>
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

private slots:
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
        QTest::newRow("cut-off frame then whole one") << Bytes{f1.left(9) + f2} << Bytes{p2};
        QTest::newRow("cut-off frame, whole one next read") << Bytes{f1.left(9), f2} << Bytes{p2};
        const QByteArray inner1 = hex("a55a0000a55a000000"), inner2 = hex("eeffeeffeeffeeffee");
        QTest::newRow("header and trailer inside payloads") << Bytes{statusFrame(inner1) + statusFrame(inner2)} << Bytes{inner1, inner2};
        QTest::newRow("stray A5 before header") << Bytes{hex("a5") + f1} << Bytes{p1};
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
        QFETCH(Bytes, payloads);
        laser::StatusFrameReassembler r, raw;
        Bytes got, viaPieces;
        int fed = 0, skipped = 0;
        for (const QByteArray &read : reads) {
            got += r.feed(read);
            fed += read.size();
            for (const auto &piece : raw.receive(read)) {
                skipped += piece.skipped.size();
                if (!piece.payload.isEmpty())
                    viaPieces << piece.payload;
            }
        }
        QCOMPARE(got, payloads);
        QCOMPARE(viaPieces, payloads);
        QVERIFY(r.buffered() < laser::kStatusFrameSize);
        // Every byte is in a frame, shown as skipped, or still waiting.
        QCOMPARE(skipped + payloads.size() * laser::kStatusFrameSize + raw.buffered(), fed);
    }

    void skippedBytesComeBeforeTheirFrame()
    {
        laser::StatusFrameReassembler r;
        const auto pieces = r.receive(hex("00ffa5eeff") + statusFrame(p1) + hex("5aa5a5") + statusFrame(p2) + hex("01a5"));
        QCOMPARE(pieces.size(), 3);
        QCOMPARE(pieces[0].skipped, hex("00ffa5eeff"));
        QCOMPARE(pieces[0].payload, p1);
        QCOMPARE(pieces[1].skipped, hex("5aa5a5"));
        QCOMPARE(pieces[1].payload, p2);
        QCOMPARE(pieces[2].skipped, hex("01"));   // the last A5 may start a frame
        QVERIFY(pieces[2].payload.isEmpty());
    }

    // Garbage never holds A5, so nothing between frames can pass for a frame,
    // and a frame's own bytes may hold anything.
    void randomStreamRecoversEveryFrame()
    {
        QRandomGenerator rng(20261206);
        QByteArray stream;
        Bytes sent, got;
        for (int n = 0; n < 2000; ++n) {
            quint32 words[3];
            rng.fillRange(words);
            sent << QByteArray(reinterpret_cast<const char *>(words), laser::kStatusPayloadSize);
            stream += statusFrame(sent.last());
            for (int garbage = rng.bounded(6); garbage > 0; --garbage)
                stream += static_cast<char>(rng.bounded(0xA5));
        }
        laser::StatusFrameReassembler r;
        for (int at = 0, read = 0; at < stream.size(); at += read)
            got += r.feed(stream.mid(at, read = rng.bounded(1, 40)));
        QCOMPARE(got, sent);
    }
};

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
