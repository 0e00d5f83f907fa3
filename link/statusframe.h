#pragma once

#include <QByteArray>
#include <QList>

namespace laser {

constexpr int kStatusFrameSize = 13;
constexpr int kStatusPayloadSize = 9;

// Rebuilds laser-to-host status frames (A5 5A, 9 payload bytes, EE FF) from a
// byte stream that the serial driver splits and merges as it likes.
class StatusFrameReassembler
{
public:
    // Appends the bytes and returns the payload of every frame completed by
    // them, oldest first. Bytes that cannot start a frame are dropped, so the
    // buffer never holds more than one unfinished frame.
    QList<QByteArray> feed(const QByteArray &bytes);

    // One completed frame's payload with the bytes dropped since the frame
    // before it. Bytes dropped after the last completed frame come in an
    // entry of their own with an empty payload.
    struct Piece {
        QByteArray skipped;
        QByteArray payload;
    };
    // As feed, with the dropped bytes kept for whoever shows the raw line.
    QList<Piece> receive(const QByteArray &bytes);

    int buffered() const { return buffer.size(); }
    void clear() { buffer.clear(); }

private:
    QByteArray buffer;
};

} // namespace laser
