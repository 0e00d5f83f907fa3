#pragma once

#include "firmware.h"
#include "panelapi.h"
#include "reading.h"
#include "setcommand.h"

#include <QDateTime>
#include <QList>
#include <QLocalServer>
#include <QObject>

#include <functional>

class QLocalSocket;

namespace laser {

class PortSession;

// Serves the link a panel holds to the scripts of the same user, on a local
// socket named after the port (laser::panel::socketName), from the session's
// Open to its Close or loss. The operator decides whether they may send
// commands. No client can hold up the panel: its sends are bounded, one that
// stops reading is dropped, and nothing here waits for a client.
class PanelServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxClients = 16;
    // About 1.7 s of every status frame at the line's full rate.
    static constexpr qint64 kSendQueueBytes = 256 * 1024;
    static constexpr int kMaxErrors = 8;
    // What one wake-up reads from a client at most.
    static constexpr qint64 kReadBufferBytes = 64 * 1024;
    // How long a request line may take from its first byte to its end, so
    // that slow writers cannot hold every place.
    static constexpr int kUnfinishedLineMs = 10000;

    struct Identity {
        QString program, version;
        const Variant *variant;
    };
    PanelServer(PortSession *session, const Identity &identity, QObject *parent = nullptr);
    ~PanelServer() override;

    // The operator's choice; off until said otherwise.
    void setCommandsAllowed(bool allowed) { allowed_ = allowed; }
    bool commandsAllowed() const { return allowed_; }
    // The operator pressed Stop: the display is paused (state "paused").
    void setPaused(bool paused) { paused_ = paused; }
    // For connections made from now on; the tests shorten it.
    void setUnfinishedLineLimit(int ms) { unfinishedLineMs = ms; }

    // The panel's way of sending a script's working point, given the
    // script's process id: its fields show it and its Send path runs; empty
    // when sent, else why not.
    using Apply = std::function<QString(const WorkingPoint &, qint64 pid)>;
    void setCommandPath(Apply applyCommand) { apply = std::move(applyCommand); }
    // For a server made while the port is already open.
    void serveIfOpen();

    bool isServing() const { return server.isListening(); }
    QString serverName() const { return server.fullServerName(); }
    int clientCount() const { return int(clients.size()); }
    // "no data", "live", "stale" or "paused".
    QString linkState() const;

signals:
    // For the link log: remote commands, clients refused or dropped, and why
    // the port is not served.
    void note(const QDateTime &when, const QString &text);

private:
    struct Client;
    void start();
    void stop();
    void accept();
    void readFrom(Client *client);
    void answer(Client *client, const QByteArray &line);
    QByteArray handle(Client *client, const api::Request &request);
    QByteArray handleSet(Client *client, const api::Request &request);
    void refuse(Client *client, const QJsonValue &id, const api::Failure &failure);
    bool hasFrame() const;
    void send(Client *client, const QByteArray &line);
    void broadcast(const QByteArray &line);
    void drop(Client *client, const QString &why);
    void forget(Client *client);
    void say(const QString &text);

    PortSession *session;
    Identity identity;
    QLocalServer server;
    QList<Client *> clients;
    int subscribers = 0;
    int unfinishedLineMs = kUnfinishedLineMs;
    bool allowed_ = false;
    bool paused_ = false;
    Apply apply;
    // The last status and when it came, for "status".
    QDateTime lastAt;
    Reading last;
    // Set while a script's command runs the Send path.
    bool capturing = false;
    QByteArray capturedFrame;
    WorkingPoint captured;
};

} // namespace laser
