#pragma once

#include "setcommand.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The panel's local socket speaks JSON lines: one request object a line in,
// one reply a line out, and after "subscribe" the objects of
// `laserctl monitor --json` (status, link events, commands) as they happen.
namespace laser::api {

// A request line may be this long, without its newline.
constexpr int kMaxRequestBytes = 4096;

enum class Op { Hello, Status, Subscribe, Set };

struct Request {
    Op op = Op::Hello;
    QJsonValue id = QJsonValue(QJsonValue::Undefined);   // echoed in the reply
    SetRequest set;   // Op::Set: values as text; empty ones keep the last sent
};

// An error reply's `code` and `message`; no code means none.
struct Failure {
    QString code;
    QString message;
    bool failed() const { return !code.isEmpty(); }
};

// Codes of error replies.
namespace code {
inline const QString tooLong = QStringLiteral("too_long");
inline const QString badJson = QStringLiteral("bad_json");
inline const QString badRequest = QStringLiteral("bad_request");
inline const QString badValue = QStringLiteral("bad_value");
inline const QString refused = QStringLiteral("refused");
inline const QString beyondLimit = QStringLiteral("beyond_limit");
inline const QString notSent = QStringLiteral("not_sent");
inline const QString busy = QStringLiteral("busy");
} // namespace code

// Reads one request line. On failure `out.id` still holds the id when the
// line was an object that had one.
Failure parseRequest(const QByteArray &line, Request &out);

// Reply lines, newline included: {"ok":true,...} with the fields given, or
// {"ok":false,"code":...,"message":...}; both carry the request's id if it had one.
QByteArray replyLine(const QJsonValue &id, QJsonObject fields);
QByteArray errorLine(const QJsonValue &id, const Failure &failure);
// A stream object (status, event, command) as a line.
QByteArray streamLine(const QJsonObject &object);

// Cuts a client's bytes into request lines without ever holding more than
// kMaxRequestBytes (and a '\r') of one: a longer line is reported once and
// skipped to its end, wherever the reads were cut.
class LineReader
{
public:
    enum Result { None, Line, TooLong };
    void feed(const QByteArray &bytes);
    // The next complete line (without "\n" or "\r\n"; empty lines skipped).
    Result next(QByteArray &line);
    int buffered() const { return int(buffer.size()) - pos; }
    // Part of a line has come, its end not yet.
    bool midLine() const { return skipping || buffered() > 0; }

private:
    QByteArray buffer;
    int pos = 0;   // where the next line starts
    bool skipping = false;
};

} // namespace laser::api
