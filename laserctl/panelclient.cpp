#include "panelclient.h"

#include "jsonrecord.h"
#include "panelsocket.h"

#include <QDeadlineTimer>
#include <QJsonDocument>

PanelClient::Reach PanelClient::reach(const QString &port, int timeoutMs)
{
    const QString name = laser::panel::socketName(port);
    if (name.isEmpty())
        return None;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return None;
    connect(&socket, &QLocalSocket::readyRead, this, &PanelClient::readLines);
    connect(&socket, &QLocalSocket::disconnected, this, &PanelClient::ended);
    QJsonObject reply;
    if (!call({{QStringLiteral("op"), QStringLiteral("hello")}}, reply, timeoutMs)) {
        why = QStringLiteral("the panel did not answer");
        return Refused;
    }
    if (!reply.value(QStringLiteral("ok")).toBool()) {
        why = reply.value(QStringLiteral("message")).toString();
        return Refused;
    }
    helloReply = reply;
    return Ready;
}

bool PanelClient::call(const QJsonObject &request, QJsonObject &reply, int timeoutMs)
{
    replied = false;
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (!replied && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(int(deadline.remainingTime()));
        else if (socket.waitForReadyRead(int(deadline.remainingTime())))
            readLines();
    }
    readLines();
    reply = lastReply;
    return replied;
}

void PanelClient::subscribe()
{
    socket.write(QJsonDocument(QJsonObject{{QStringLiteral("op"), QStringLiteral("subscribe")}}).toJson(QJsonDocument::Compact)
                 + '\n');
}

void PanelClient::readLines()
{
    // Only what has come: after the panel closed the connection a read for
    // more goes to the closed socket underneath, which Qt warns about.
    if (socket.bytesAvailable() > 0)
        buffer += socket.read(socket.bytesAvailable());
    int start = 0;
    for (int end; (end = buffer.indexOf('\n', start)) >= 0; start = end + 1) {
        const QJsonDocument doc = QJsonDocument::fromJson(buffer.mid(start, end - start));
        if (doc.isObject())
            dispatch(doc.object());
    }
    buffer.remove(0, start);
}

void PanelClient::dispatch(const QJsonObject &o)
{
    if (o.contains(QStringLiteral("ok"))) {
        lastReply = o;
        replied = true;
        return;
    }
    const QString kind = o.value(QStringLiteral("kind")).toString();
    const QDateTime when = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    laser::Reading reading;
    laser::WorkingPoint point;
    const laser::Variant *variant = laser::variantNamed(helloReply.value(QStringLiteral("variant")).toString());
    if (laser::json::readingFrom(o, reading))
        emit status(when, reading);
    else if (laser::json::pointFrom(o, variant ? variant->kHzPerStep : 0, point))
        emit command(when, point);
    else if (!kind.isEmpty())
        emit event(when, kind, o.value(QStringLiteral("detail")).toString());
}
