#include "statusframe.h"

namespace laser {

namespace {
constexpr char kHeader[] = "\xA5\x5A";
constexpr char kHeaderFirst = '\xA5';
constexpr char kTrailerFirst = '\xEE';
constexpr char kTrailerSecond = '\xFF';
} // namespace

QList<QByteArray> StatusFrameReassembler::feed(const QByteArray &bytes)
{
    QList<QByteArray> payloads;
    for (const Piece &piece : receive(bytes))
        if (!piece.payload.isEmpty())
            payloads.append(piece.payload);
    return payloads;
}

QList<StatusFrameReassembler::Piece> StatusFrameReassembler::receive(const QByteArray &bytes)
{
    buffer.append(bytes);
    QList<Piece> pieces;
    QByteArray skipped;
    int consumed = 0;
    for (;;) {
        const int header = buffer.indexOf(kHeader, consumed);
        if (header < 0) {
            // A lone A5 at the end may be the first half of the next header.
            const int keep = buffer.endsWith(kHeaderFirst) ? 1 : 0;
            skipped.append(buffer.constData() + consumed, buffer.size() - keep - consumed);
            consumed = buffer.size() - keep;
            break;
        }
        skipped.append(buffer.constData() + consumed, header - consumed);
        if (buffer.size() - header < kStatusFrameSize) {
            consumed = header;
            break;
        }
        if (buffer.at(header + 11) == kTrailerFirst && buffer.at(header + 12) == kTrailerSecond) {
            pieces.append(Piece{skipped, buffer.mid(header + 2, kStatusPayloadSize)});
            skipped.clear();
            consumed = header + kStatusFrameSize;
        } else {
            // Not a frame after all: the header may have been payload bytes.
            skipped.append(buffer.at(header));
            consumed = header + 1;
        }
    }
    if (!skipped.isEmpty())
        pieces.append(Piece{skipped, QByteArray()});
    buffer.remove(0, consumed);
    return pieces;
}

} // namespace laser
