#include "panelapi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QSet>
#include <QVector>

#include <cmath>

namespace laser::api {

namespace {
Failure failure(const QString &code, const QString &message)
{
    return Failure{code, message};
}

// A number as its shortest text, so that 2.4 reads "2.4" and is cut to the
// panel's steps exactly as typed text would be.
bool valueText(const QJsonObject &o, const QString &key, bool number, QString &out, Failure &error)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (number && v.isDouble()) {
        out = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        return true;
    }
    if (v.isString() && !v.toString().trimmed().isEmpty()) {
        out = v.toString();
        return true;
    }
    error = failure(code::badRequest, number ? QStringLiteral("%1: a number, please").arg(key)
                                             : QStringLiteral("%1: internal or external, please").arg(key));
    return false;
}

// True when an object in `json`, valid JSON, names a key twice; keys are
// compared as decoded, so "a" and "\u0061" are the same.
bool repeatsKey(const QByteArray &json)
{
    struct Level {
        bool object;
        bool atKey = true;   // the next string in an object is a key
        QSet<QString> keys;
    };
    QVector<Level> open;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (c == '"') {
            const int start = i;
            for (++i; i < json.size() && json.at(i) != '"'; ++i)
                if (json.at(i) == '\\')
                    ++i;
            if (open.isEmpty() || !open.last().object || !open.last().atKey)
                continue;
            const QByteArray raw = '[' + json.mid(start, i - start + 1) + ']';
            const QString key = QJsonDocument::fromJson(raw).array().at(0).toString();
            if (open.last().keys.contains(key))
                return true;
            open.last().keys.insert(key);
            open.last().atKey = false;
        } else if (c == '{' || c == '[') {
            open.append(Level{c == '{', true, {}});
        } else if ((c == '}' || c == ']') && !open.isEmpty()) {
            open.removeLast();
        } else if (c == ',' && !open.isEmpty()) {
            open.last().atKey = true;
        }
    }
    return false;
}

} // namespace

Failure parseRequest(const QByteArray &line, Request &out)
{
    out = Request();
    if (line.size() > kMaxRequestBytes)
        return failure(code::tooLong, QStringLiteral("a request line may hold %1 bytes").arg(kMaxRequestBytes));
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parse);
    if (parse.error != QJsonParseError::NoError)
        return failure(code::badJson,
                       QStringLiteral("not JSON: %1 at byte %2").arg(parse.errorString()).arg(parse.offset));
    if (!doc.isObject())
        return failure(code::badRequest, QStringLiteral("a request is a JSON object"));
    const QJsonObject o = doc.object();
    // Echoed exactly only as a string or a whole number below 2^53 in size: any
    // number written from 2^53 on reads as 2^53 or more, so 2^53 itself may
    // have been 2^53 + 1 and is refused too.
    const QJsonValue id = o.value(QStringLiteral("id"));
    const double n = id.toDouble();
    if (!id.isUndefined() && !id.isNull() && !id.isString()
        && !(id.isDouble() && std::abs(n) < 9007199254740992.0 && n == std::floor(n)))
        return failure(code::badRequest, QStringLiteral("id: a string or a whole number below 2^53"));
    out.id = id;
    // The parser keeps the last of two equal keys unseen: {"current":1,"current":6.8} would send 6.8 A.
    if (repeatsKey(line))
        return failure(code::badRequest, QStringLiteral("a key given twice in one object"));
    const QJsonValue op = o.value(QStringLiteral("op"));
    static const QHash<QString, Op> ops{{QStringLiteral("hello"), Op::Hello},
                                        {QStringLiteral("status"), Op::Status},
                                        {QStringLiteral("subscribe"), Op::Subscribe},
                                        {QStringLiteral("set"), Op::Set}};
    if (!op.isString() || !ops.contains(op.toString()))
        return failure(code::badRequest, QStringLiteral("op: one of hello, status, subscribe, set"));
    out.op = ops.value(op.toString());
    // A misspelt value would otherwise send the laser the old one unseen.
    static const QSet<QString> common{QStringLiteral("op"), QStringLiteral("id")};
    static const QSet<QString> setKeys{QStringLiteral("current"), QStringLiteral("pulse"), QStringLiteral("freq"),
                                       QStringLiteral("trigger")};
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!common.contains(it.key()) && !(out.op == Op::Set && setKeys.contains(it.key())))
            return failure(code::badRequest,
                           QStringLiteral("%1: no such field for %2").arg(it.key().left(64), op.toString()));
    if (out.op != Op::Set)
        return Failure();
    Failure error;
    if (!valueText(o, QStringLiteral("current"), true, out.set.current, error)
        || !valueText(o, QStringLiteral("pulse"), true, out.set.pulse, error)
        || !valueText(o, QStringLiteral("freq"), true, out.set.freq, error)
        || !valueText(o, QStringLiteral("trigger"), false, out.set.trigger, error))
        return error;
    return Failure();
}

QByteArray replyLine(const QJsonValue &id, QJsonObject fields)
{
    fields.insert(QStringLiteral("ok"), true);
    if (!id.isUndefined())
        fields.insert(QStringLiteral("id"), id);
    return streamLine(fields);
}

QByteArray errorLine(const QJsonValue &id, const Failure &f)
{
    QJsonObject o{{QStringLiteral("ok"), false}, {QStringLiteral("code"), f.code}, {QStringLiteral("message"), f.message}};
    if (!id.isUndefined())
        o.insert(QStringLiteral("id"), id);
    return streamLine(o);
}

QByteArray streamLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void LineReader::feed(const QByteArray &bytes)
{
    buffer += bytes;
}

LineReader::Result LineReader::next(QByteArray &line)
{
    // Lines are taken by position and the buffer is cut once no whole line
    // is left, so a read full of short requests costs no more than its size.
    for (;;) {
        const int end = buffer.indexOf('\n', pos);
        if (end < 0) {
            buffer.remove(0, pos);
            pos = 0;
            // One byte more than a line may hold: the '\r' of a "\r\n".
            if (skipping || buffer.size() > kMaxRequestBytes + 1) {
                buffer.clear();
                const bool first = !skipping;
                skipping = true;
                return first ? TooLong : None;
            }
            return None;
        }
        const int start = pos;
        pos = end + 1;
        if (skipping) {
            // The end of a line already reported.
            skipping = false;
            continue;
        }
        const int length = end - start - (end > start && buffer.at(end - 1) == '\r' ? 1 : 0);
        if (length > kMaxRequestBytes)
            return TooLong;
        line = buffer.mid(start, length);
        if (!line.trimmed().isEmpty())
            return Line;
    }
}

} // namespace laser::api
