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
    buffer.append(bytes);
    QList<QByteArray> payloads;
    int consumed = 0;
    for (;;) {
        const int header = buffer.indexOf(kHeader, consumed);
        if (header < 0) {
            // A lone A5 at the end may be the first half of the next header.
            consumed = buffer.size();
            if (buffer.endsWith(kHeaderFirst))
                --consumed;
            break;
        }
        if (buffer.size() - header < kStatusFrameSize) {
            consumed = header;
            break;
        }
        if (buffer.at(header + 11) == kTrailerFirst && buffer.at(header + 12) == kTrailerSecond) {
            payloads.append(buffer.mid(header + 2, kStatusPayloadSize));
            consumed = header + kStatusFrameSize;
        } else {
            // Not a frame after all: the header may have been payload bytes.
            consumed = header + 1;
        }
    }
    buffer.remove(0, consumed);
    return payloads;
}

} // namespace laser
