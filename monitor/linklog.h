#pragma once

#include "reading.h"

#include <QByteArray>
#include <QString>

#include <deque>

namespace laser {

// What the link log counts.
struct LinkCounters {
    qint64 validFrames = 0;
    qint64 bytesSkipped = 0;
    qint64 commandsSent = 0;
    qint64 linkLosses = 0;
};

// One line of the link log, kept raw and formatted only when shown: at line
// rate most lines scroll out of the last 10 000 before anyone reads them.
struct LinkLogEntry {
    enum Kind { Received, Decoded, Skipped, Sent, Event, Note };
    Kind kind = Event;
    qint64 whenMs = 0;       // ms since the epoch
    QByteArray bytes;        // Received: payload; Sent: the bytes; Skipped: the first kSkipShown
    qint64 skippedCount = 0; // Skipped: how many there were
    Reading reading;  // Decoded
    LinkEvent event = LinkEvent::Open;
    QString detail;          // Event; Note: its text
};

// A run of skipped bytes shows this many, then "…" and the count: noise would
// otherwise make lines, and the memory behind them, without bound.
constexpr int kSkipShown = 32;

// "14:03:21.042  RX  A5 5A … EE FF": local time to the millisecond, a tag, then
// the bytes in hex; a received payload is shown as the whole status frame.
QString formatLine(const LinkLogEntry &entry);

// Not a frame's RX line nor a command's TX line: an event, a script's note
// or skipped bytes, the lines a filtered log keeps.
bool isEvent(const LinkLogEntry &entry);

// "A5 5A 00": upper-case hex, one space between bytes.
QString hexBytes(const QByteArray &bytes);

// "0.2 s", "12 s", "3 min 05 s" for the time since the last valid frame; "–" without one.
QString formatAge(qint64 ms);

// The link log's model: counters, the time of the last valid frame, and the
// lines not yet shown, of which only the newest `keep` are kept.
class LinkLog
{
public:
    static constexpr int kLinesKept = 10000;

    explicit LinkLog(int keep = kLinesKept) : keep(keep) {}

    // A valid frame's payload, for its raw line. Once any arrived, decoded
    // frames are only counted, since their raw line comes this way.
    // Times in ms since the epoch, as for TrendData.
    void frame(qint64 ms, const QByteArray &payload);
    void status(qint64 ms, const Reading &reading);
    void skipped(qint64 ms, const QByteArray &bytes);
    void command(qint64 ms, const QByteArray &frame);
    void event(qint64 ms, LinkEvent event, const QString &detail);
    // What the panel did for a script on its local socket.
    void note(qint64 ms, const QString &text);

    const LinkCounters &counters() const { return count; }
    bool hasFrame() const { return lastFrameMs >= 0; }
    // ms since the epoch of the last valid frame; -1 before the first.
    qint64 lastFrame() const { return lastFrameMs; }

    // The lines not yet taken, oldest first; lines that fell out of the
    // newest `keep` are gone.
    std::deque<LinkLogEntry> takePending();
    std::size_t pendingCount() const { return pending.size(); }

private:
    void add(LinkLogEntry &&entry);

    int keep;
    LinkCounters count;
    qint64 lastFrameMs = -1;
    bool rawFrames = false;
    std::deque<LinkLogEntry> pending;
};

} // namespace laser
