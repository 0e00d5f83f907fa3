#pragma once

#include "reading.h"
#include "workingpoint.h"

#include <QDateTime>
#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>

// The panel that holds a port, reached through its local socket: its hello,
// its replies, and after subscribe its status, event and command objects.
class PanelClient : public QObject
{
    Q_OBJECT

public:
    enum Reach { None, Ready, Refused };
    // Connects to the panel that serves `port` and says hello. None when no
    // panel serves it (no socket, or one left by a panel that is gone);
    // Refused when one answered but would not serve (failure() says why).
    Reach reach(const QString &port, int timeoutMs);
    QString failure() const { return why; }
    const QJsonObject &hello() const { return helloReply; }
    qint64 pid() const { return qint64(helloReply.value(QStringLiteral("pid")).toDouble()); }

    // One request and its reply, waiting up to timeoutMs; false when the
    // panel did not answer in time or went away.
    bool call(const QJsonObject &request, QJsonObject &reply, int timeoutMs);
    void subscribe();
    void close() { socket.abort(); }

signals:
    void status(const QDateTime &when, const laser::Reading &reading);
    void event(const QDateTime &when, const QString &kind, const QString &detail);
    void command(const QDateTime &when, const laser::WorkingPoint &point);
    // The panel closed the connection: its port closed, or it ended.
    void ended();

private:
    void readLines();
    void dispatch(const QJsonObject &object);

    QLocalSocket socket;
    QByteArray buffer;
    QJsonObject helloReply;
    QString why;
    bool replied = false;
    QJsonObject lastReply;
};
