// The panel's request path under libFuzzer: arbitrary bytes, cut into
// arbitrary reads, through the line reader, every line through the request
// parser and every reply through its writer.
//
// Input layout: byte 0 gives n = byte % 16, the next n bytes are read sizes
// (each byte * 37 % 6000, so reads reach past the 4 KiB limit; 0 is an
// empty read) used in turn, the rest is what the client sends. n = 0
// delivers it in one read.
//
// The reader must yield what one pass over the whole input yields: the
// lines, and one "too long" per line past the limit, wherever the reads
// were cut; it never holds more than a line's limit; and every reply is one
// line of a JSON object that echoes the request's id.
#include "panelapi.h"
#include "readplan.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using laser::api::LineReader;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

struct Item {
    LineReader::Result kind;
    QByteArray line;
};

std::vector<Item> referenceSplit(const QByteArray &s)
{
    constexpr int limit = laser::api::kMaxRequestBytes;
    std::vector<Item> items;
    int start = 0;
    for (int end; (end = s.indexOf('\n', start)) >= 0; start = end + 1) {
        QByteArray line = s.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > limit)
            items.push_back({LineReader::TooLong, {}});
        else if (!line.trimmed().isEmpty())
            items.push_back({LineReader::Line, line});
    }
    if (s.size() - start > limit + 1)
        items.push_back({LineReader::TooLong, {}});
    return items;
}

void checkReply(const QByteArray &reply, const QJsonValue &id)
{
    check(reply.endsWith('\n') && reply.count('\n') == 1, "a reply is one line");
    const QJsonDocument doc = QJsonDocument::fromJson(reply);
    check(doc.isObject(), "a reply is a JSON object");
    check(doc.object().value(QStringLiteral("id")) == id, "a reply echoes the request's id");
}

void answer(const QByteArray &line)
{
    laser::api::Request request;
    const laser::api::Failure failure = laser::api::parseRequest(line, request);
    if (failure.failed()) {
        check(!failure.message.isEmpty(), "an error has a message");
        checkReply(laser::api::errorLine(request.id, failure), request.id);
        return;
    }
    const bool anyValue = !request.set.current.isEmpty() || !request.set.pulse.isEmpty()
        || !request.set.freq.isEmpty() || !request.set.trigger.isEmpty();
    check(request.op == laser::api::Op::Set || !anyValue, "values only for set");
    checkReply(laser::api::replyLine(request.id, {{QStringLiteral("state"), QStringLiteral("live")}}), request.id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ReadPlan input = readPlan(data, size, [](std::uint8_t b) { return b * 37 % 6000; });
    const std::vector<int> &plan = input.sizes;
    const QByteArray &stream = input.stream;

    const std::vector<Item> expected = referenceSplit(stream);
    std::size_t seen = 0;
    LineReader reader;
    int fed = 0;
    for (std::size_t turn = 0; fed < stream.size() || turn == 0; ++turn) {
        const int chunk = std::min(plan[turn % plan.size()], stream.size() - fed);
        reader.feed(stream.mid(fed, chunk));
        fed += chunk;
        QByteArray line;
        for (LineReader::Result r; (r = reader.next(line)) != LineReader::None;) {
            check(seen < expected.size(), "an item the one-pass split does not see");
            const Item &want = expected[seen++];
            check(r == want.kind, "line or too-long differs from the one-pass split");
            if (r == LineReader::Line) {
                check(line == want.line, "line differs from the one-pass split");
                answer(line);
            }
        }
        check(reader.buffered() <= laser::api::kMaxRequestBytes + 1, "the reader holds more than a line");
    }
    check(seen == expected.size(), "items lost");
    return 0;
}
