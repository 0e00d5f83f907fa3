#include "linklog.h"

#include "csvrecord.h"
#include "statusdecode.h"
#include "statusframe.h"
#include "words.h"

#include <QDateTime>


namespace laser {

namespace {
QString timeOf(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}
} // namespace

QString hexBytes(const QByteArray &bytes)
{
    return words::hex(bytes);
}

QString formatLine(const LinkLogEntry &e)
{
    const QString when = timeOf(e.whenMs);
    switch (e.kind) {
    case LinkLogEntry::Received:
        return QStringLiteral("%1  RX    %2")
            .arg(when, hexBytes(QByteArray("\xA5\x5A", 2) + e.bytes + QByteArray("\xEE\xFF", 2)));
    case LinkLogEntry::Decoded: {
        const Reading &r = e.reading;
        const QString temperature = r.temperatureC == kTemperatureOutOfRange
                                        ? QStringLiteral("?") : QString::number(r.temperatureC);
        return QStringLiteral("%1  RX    %2 A  %3 °C  %4  pump %5  TEC %6")
            .arg(when, words::twoDecimals(r.currentA), temperature, words::trigger(r.externalTrigger),
                 words::pumpSupply(r.pumpSupplyNormal), words::tec(r.tecLocked));
    }
    case LinkLogEntry::Skipped:
        return QStringLiteral("%1  SKIP  %2%3  (%4 bytes)")
            .arg(when, hexBytes(e.bytes), e.skippedCount > e.bytes.size() ? QStringLiteral(" …") : QString())
            .arg(e.skippedCount);
    case LinkLogEntry::Sent:
        return QStringLiteral("%1  TX    %2").arg(when, hexBytes(e.bytes));
    case LinkLogEntry::Note:
        return QStringLiteral("%1  API   %2").arg(when, e.detail);
    case LinkLogEntry::Event: {
        const QString kind = csv::eventKind(e.event);
        return e.detail.isEmpty() ? QStringLiteral("%1  ----  %2").arg(when, kind)
                                  : QStringLiteral("%1  ----  %2  %3").arg(when, kind, e.detail);
    }
    }
    return when;
}

bool isEvent(const LinkLogEntry &e)
{
    return e.kind != LinkLogEntry::Received && e.kind != LinkLogEntry::Decoded && e.kind != LinkLogEntry::Sent;
}

QString formatAge(qint64 ms)
{
    if (ms < 0)
        return QStringLiteral("–");
    if (ms < 10000)
        return QStringLiteral("%1 s").arg(double(ms) / 1000.0, 0, 'f', 1);
    const qint64 s = ms / 1000;
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
}

void LinkLog::frame(qint64 ms, const QByteArray &payload)
{
    rawFrames = true;
    LinkLogEntry e;
    e.kind = LinkLogEntry::Received;
    e.whenMs = ms;
    e.bytes = payload.left(kStatusPayloadSize);
    add(std::move(e));
}

void LinkLog::status(qint64 ms, const Reading &reading)
{
    ++count.validFrames;
    lastFrameMs = ms;
    if (rawFrames)
        return;
    LinkLogEntry e;
    e.kind = LinkLogEntry::Decoded;
    e.whenMs = lastFrameMs;
    e.reading = reading;
    add(std::move(e));
}

void LinkLog::skipped(qint64 ms, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    count.bytesSkipped += bytes.size();
    LinkLogEntry e;
    e.kind = LinkLogEntry::Skipped;
    e.whenMs = ms;
    e.bytes = bytes.left(kSkipShown);
    e.skippedCount = bytes.size();
    add(std::move(e));
}

void LinkLog::command(qint64 ms, const QByteArray &frame)
{
    ++count.commandsSent;
    LinkLogEntry e;
    e.kind = LinkLogEntry::Sent;
    e.whenMs = ms;
    e.bytes = frame;
    add(std::move(e));
}

void LinkLog::event(qint64 ms, LinkEvent event, const QString &detail)
{
    if (event == LinkEvent::Lost)
        ++count.linkLosses;
    LinkLogEntry e;
    e.kind = LinkLogEntry::Event;
    e.whenMs = ms;
    e.event = event;
    e.detail = detail;
    add(std::move(e));
}

void LinkLog::note(qint64 ms, const QString &text)
{
    LinkLogEntry e;
    e.kind = LinkLogEntry::Note;
    e.whenMs = ms;
    e.detail = text;
    add(std::move(e));
}

std::deque<LinkLogEntry> LinkLog::takePending()
{
    std::deque<LinkLogEntry> taken;
    taken.swap(pending);
    return taken;
}

void LinkLog::add(LinkLogEntry &&entry)
{
    pending.push_back(std::move(entry));
    while (pending.size() > static_cast<std::size_t>(keep))
        pending.pop_front();
}

} // namespace laser
