#include "panelserver.h"

#include "csvrecord.h"
#include "jsonrecord.h"
#include "panelsocket.h"
#include "peercred.h"
#include "portsession.h"
#include "words.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QLocalSocket>
#include <QTimer>

namespace laser {

namespace {
// How long a closing connection may take to pass on its last lines.
constexpr int kLingerMs = 1000;

QDateTime utcNow()
{
    return QDateTime::currentDateTimeUtc();
}
} // namespace

// Deleted later, so that a client dropped while its own request runs stays
// readable until that request returns.
struct PanelServer::Client : QObject {
    using QObject::QObject;
    bool gone = false;
    QLocalSocket *socket = nullptr;
    api::LineReader reader;
    qint64 pid = -1;
    int errors = 0;
    bool subscribed = false;
    QTimer unfinishedLine;   // from the first byte of a line to its end
};

PanelServer::PanelServer(PortSession *session, const Identity &identity, QObject *parent)
    : QObject(parent), session(session), identity(identity)
{
    server.setSocketOptions(QLocalServer::UserAccessOption);
    server.setMaxPendingConnections(kMaxClients);
    connect(&server, &QLocalServer::newConnection, this, &PanelServer::accept);
    connect(session, &PortSession::linkEvent, this, [this](const QDateTime &when, LinkEvent event, const QString &detail) {
        if (subscribers > 0)
            broadcast(api::streamLine(json::eventJson(csv::isoTime(when), event, detail)));
        if (event == LinkEvent::Open)
            start();
        else if (event == LinkEvent::Close || event == LinkEvent::Lost)
            stop();
    });
    connect(session, &PortSession::statusDecoded, this, [this](const QDateTime &when, const Reading &reading) {
        lastAt = when;
        last = reading;
        if (subscribers > 0)
            broadcast(api::streamLine(json::statusJson(csv::isoTime(when), reading)));
    });
    connect(session, &PortSession::commandSent, this,
            [this](const QDateTime &when, const QByteArray &frame, const WorkingPoint &point) {
                if (capturing) {
                    capturedFrame = frame;
                    captured = point;
                }
                if (subscribers > 0)
                    broadcast(api::streamLine(json::commandJson(csv::isoTime(when), point)));
            });
}

PanelServer::~PanelServer()
{
    stop();
}

void PanelServer::serveIfOpen()
{
    if (session->isOpen())
        start();
}

QString PanelServer::linkState() const
{
    if (paused_)
        return QStringLiteral("paused");
    if (!hasFrame())
        return QStringLiteral("no data");
    return session->isStale() ? QStringLiteral("stale") : QStringLiteral("live");
}

void PanelServer::say(const QString &text)
{
    emit note(utcNow(), text);
}

bool PanelServer::hasFrame() const
{
    return session->hasFrame() && lastAt.isValid();
}

void PanelServer::start()
{
    stop();
    paused_ = false;
    lastAt = QDateTime();
    QString why;
    const QString name = panel::socketName(session->portName(), &why, true);
    if (name.isEmpty()) {
        say(QStringLiteral("scripts cannot reach this port: %1").arg(why));
        return;
    }
    // A socket left by a panel that was killed is replaced; a live panel's is not.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.abort();
        say(QStringLiteral("scripts cannot reach this port: another panel serves %1").arg(name));
        return;
    }
    QLocalServer::removeServer(name);
    if (!server.listen(name))
        say(QStringLiteral("scripts cannot reach this port: %1 (%2)").arg(name, server.errorString()));
}

void PanelServer::stop()
{
    // Removes the socket file; connections made pass on what they still hold.
    server.close();
    const QList<Client *> all = clients;
    for (Client *c : all) {
        QLocalSocket *socket = c->socket;
        socket->setParent(this);
        forget(c);
        socket->flush();
        socket->disconnectFromServer();
        if (socket->state() == QLocalSocket::UnconnectedState) {
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kLingerMs, socket, &QLocalSocket::abort);
    }
}

void PanelServer::accept()
{
    while (QLocalSocket *socket = server.nextPendingConnection()) {
        const platform::Peer peer = platform::localPeer(socket->socketDescriptor());
        if (!peer.sameUser) {
            say(peer.known ? QStringLiteral("refused a script of another user (process %1)").arg(peer.pid)
                           : QStringLiteral("refused a script: its user is unknown"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (clients.size() >= kMaxClients) {
            socket->write(api::errorLine(QJsonValue::Undefined,
                                         {api::code::busy, QStringLiteral("the panel serves %1 scripts already").arg(kMaxClients)}));
            socket->flush();
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *c = new Client(this);
        socket->setParent(c);
        c->socket = socket;
        c->pid = peer.pid;
        clients.append(c);
        c->unfinishedLine.setSingleShot(true);
        c->unfinishedLine.setInterval(unfinishedLineMs);
        connect(&c->unfinishedLine, &QTimer::timeout, this, [this, c] {
            drop(c, QStringLiteral("its request line stayed unfinished for %1 s").arg(unfinishedLineMs / 1000.0));
        });
        socket->setReadBufferSize(kReadBufferBytes);
        connect(socket, &QLocalSocket::readyRead, this, [this, c] { readFrom(c); });
        connect(socket, &QLocalSocket::disconnected, this, [this, c] { forget(c); });
        if (socket->bytesAvailable() > 0)
            readFrom(c);
    }
}

void PanelServer::readFrom(Client *c)
{
    c->reader.feed(c->socket->readAll());
    QByteArray line;
    bool ended = false;   // a line, so what is left is a new one
    for (api::LineReader::Result r; !c->gone && (r = c->reader.next(line)) != api::LineReader::None; ended = true) {
        if (r == api::LineReader::TooLong)
            refuse(c, QJsonValue::Undefined,
                   {api::code::tooLong, QStringLiteral("a request line may hold %1 bytes").arg(api::kMaxRequestBytes)});
        else
            answer(c, line);
    }
    if (c->gone)
        return;
    if (!c->reader.midLine())
        c->unfinishedLine.stop();
    else if (ended || !c->unfinishedLine.isActive())
        c->unfinishedLine.start();
}

void PanelServer::answer(Client *c, const QByteArray &line)
{
    api::Request request;
    const api::Failure failure = api::parseRequest(line, request);
    if (failure.failed()) {
        refuse(c, request.id, failure);
        return;
    }
    const QByteArray reply = handle(c, request);
    if (!c->gone)
        send(c, reply);
}

void PanelServer::refuse(Client *c, const QJsonValue &id, const api::Failure &failure)
{
    ++c->errors;
    send(c, api::errorLine(id, failure));
    if (!c->gone && c->errors >= kMaxErrors)
        drop(c, QStringLiteral("%1 bad requests").arg(c->errors));
}

QByteArray PanelServer::handle(Client *c, const api::Request &request)
{
    switch (request.op) {
    case api::Op::Hello:
        return api::replyLine(request.id, {{QStringLiteral("program"), identity.program},
                                           {QStringLiteral("version"), identity.version},
                                           {QStringLiteral("variant"), QString::fromLatin1(identity.variant->name)},
                                           {QStringLiteral("port"), session->portName()},
                                           {QStringLiteral("pid"), QCoreApplication::applicationPid()},
                                           {QStringLiteral("commands_allowed"), allowed_}});
    case api::Op::Status:
        return api::replyLine(
            request.id,
            {{QStringLiteral("state"), linkState()},
             {QStringLiteral("status"),
              hasFrame() ? QJsonValue(json::statusJson(csv::isoTime(lastAt), last)) : QJsonValue()},
             {QStringLiteral("alarms"), QJsonArray::fromStringList(Alarms::names(shownAlarms(*session)))}});
    case api::Op::Subscribe:
        if (!c->subscribed) {
            c->subscribed = true;
            ++subscribers;
        }
        return api::replyLine(request.id, {{QStringLiteral("subscribed"), true}});
    case api::Op::Set:
        return handleSet(c, request);
    }
    return QByteArray();
}

QByteArray PanelServer::handleSet(Client *c, const api::Request &request)
{
    // The link log notes each refusal in the words the script is given.
    const auto refuse = [&](const QString &code, const QString &why) {
        say(QStringLiteral("command from a script (process %1) refused: %2").arg(c->pid).arg(why));
        return api::errorLine(request.id, {code, why});
    };
    if (!allowed_ || !apply)
        return refuse(api::code::refused, QStringLiteral("the panel refuses commands from scripts (its operator has "
                                                         "not allowed them)"));
    // Values not given keep the laser's working point: the last command sent
    // on this port, not what the panel's fields hold unsent.
    WorkingPoint start;
    if (session->remembered(start, nullptr, nullptr) != WorkingPointStore::Loaded::Found)
        start = initialPoint(*identity.variant);
    const SetResult set = applySet(request.set, start, *identity.variant, QString());
    if (!set.error.isEmpty())
        return api::errorLine(request.id, {api::code::badValue, set.error});
    const QString beyond = session->refusal(set.point).text;
    if (!beyond.isEmpty())
        return refuse(api::code::beyondLimit, beyond);
    capturing = true;
    capturedFrame.clear();
    const QString panel = session->currentSender();
    session->setSender(QStringLiteral("script %1").arg(c->pid));
    const QString unsent = apply(set.point, c->pid);
    session->setSender(panel);
    capturing = false;
    const WorkingPoint &s = captured;
    if (!unsent.isEmpty() || capturedFrame.isEmpty()) {
        say(QStringLiteral("command from a script (process %1) not sent: %2").arg(c->pid).arg(unsent));
        return api::errorLine(request.id, {api::code::notSent, QStringLiteral("not sent: %1").arg(unsent)});
    }
    say(QStringLiteral("command from a script (process %1): %2 A, %3 ns, %4 kHz, %5")
            .arg(c->pid)
            .arg(words::twoDecimals(s.currentA()), words::twoDecimals(s.pulseNs()))
            .arg(s.freqKHz())
            .arg(words::trigger(s.externalTrigger)));
    return api::replyLine(request.id, {{QStringLiteral("sent"), json::commandJson(csv::isoTime(utcNow()), s)},
                                       {QStringLiteral("frame"), words::hex(capturedFrame)},
                                       {QStringLiteral("notes"), QJsonArray::fromStringList(set.notes)}});
}

void PanelServer::send(Client *c, const QByteArray &line)
{
    // The kernel's buffer is full before Qt's grows: what waits here the
    // client has not read for a while.
    if (c->socket->bytesToWrite() + line.size() > kSendQueueBytes) {
        drop(c, QStringLiteral("it stopped reading (%1 KiB waiting)").arg(kSendQueueBytes / 1024));
        return;
    }
    c->socket->write(line);
}

void PanelServer::broadcast(const QByteArray &line)
{
    const QList<Client *> all = clients;
    for (Client *c : all)
        if (c->subscribed && !c->gone)
            send(c, line);
}

void PanelServer::drop(Client *c, const QString &why)
{
    say(QStringLiteral("dropped the script of process %1: %2").arg(c->pid).arg(why));
    // What fits in the kernel's buffer still reaches it, such as the last error.
    c->socket->flush();
    c->socket->abort();
    forget(c);
}

void PanelServer::forget(Client *c)
{
    if (c->gone)
        return;
    c->gone = true;
    c->unfinishedLine.stop();
    clients.removeOne(c);
    if (c->subscribed)
        --subscribers;
    disconnect(c->socket, nullptr, this, nullptr);
    c->deleteLater();
}

} // namespace laser
