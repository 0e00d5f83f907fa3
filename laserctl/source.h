#pragma once

// Where a command's reports come from: the panel that holds the port, or the
// port itself.

#include "cli.h"
#include "csvrecord.h"
#include "jsonrecord.h"
#include "panelapi.h"
#include "panelclient.h"
#include "panelsocket.h"
#include "portsession.h"
#include "portwatcher.h"
#include "workingpointstore.h"
#include "words.h"

#include <QJsonObject>

#include <functional>

namespace cli {

// What a command does with the laser's reports, wherever they come from.
struct Sink {
    std::function<void(const QDateTime &, const laser::Reading &)> status = [](const QDateTime &, const laser::Reading &) {};
    // kind: laser::csv::eventKind(), or a kind the panel named.
    std::function<void(const QDateTime &, const QString &, const QString &)> event =
        [](const QDateTime &, const QString &, const QString &) {};
    std::function<void(const QDateTime &, const laser::WorkingPoint &)> command = [](const QDateTime &, const laser::WorkingPoint &) {};
    std::function<void(qint64)> noise = [](qint64) {};
    // The link ended: lost, or the panel closed its port or went away.
    std::function<void(const QString &)> ended = [](const QString &) {};
};

// The laser's reports: through the panel that holds the port when one serves
// it (and --no-panel does not forbid it), else from the port itself. With
// reconnect, after the link ends it waits for the device as the panel does
// and then tries both again, each time it is seen, until one answers.
class Source
{
public:
    Source(const Options &o, Sink sink) : o(o), sink(std::move(sink))
    {
        link.setVariant(*o.variant);
        link.setSender(QStringLiteral("laserctl"));
        QObject::connect(&waiting, &laser::PortWatcher::back, [this](const QString &port) { reopen(port); });
        QObject::connect(&link, &PortSession::statusDecoded,
                         [this](const QDateTime &when, const laser::Reading &r) { this->sink.status(when, r); });
        QObject::connect(&link, &PortSession::bytesSkipped,
                         [this](const QDateTime &, const QByteArray &bytes) { this->sink.noise(bytes.size()); });
        QObject::connect(&link, &PortSession::linkEvent, [this](const QDateTime &when, LinkEvent event, const QString &detail) {
            // The first open is the command's own, not news.
            if (event == LinkEvent::Open && !started)
                return;
            if (event == LinkEvent::Open)
                up = true;
            this->sink.event(when, laser::csv::eventKind(event), detail);
            if (event == LinkEvent::Lost)
                linkEnded(detail);
        });
    }
    ~Source() { close(); }

    // -1 once open, else the exit code, reported.
    int open(QIODevice::OpenMode openMode)
    {
        mode = openMode;
        const int panelCode = reachPanel(true);
        if (panelCode != 0)
            return panelCode;
        laser::PortFailure failure;
        if (!link.open(o.port, mode, &failure))
            return portError(o.port, failure);
        started = up = true;
        return -1;
    }
    // While the device is there: its serial number is known only then.
    void setReconnect(bool on)
    {
        reconnect = on;
        if (on)
            deviceKey = laser::workingPointKey(o.port);
    }
    PanelClient *panel() { return viaPanel; }
    PortSession &port() { return link; }
    QString variantName() const
    {
        return viaPanel ? viaPanel->hello().value(QStringLiteral("variant")).toString() : QLatin1String(o.variant->name);
    }
    void close()
    {
        waiting.stop();
        link.blockSignals(true);
        link.close();
        link.blockSignals(false);
        retire();
        retired.reset();
    }

private:
    // Called from the panel's own signals too: it is deleted at the next
    // close or reach, not under its own feet.
    void retire()
    {
        if (!viaPanel)
            return;
        viaPanel->disconnect();
        viaPanel->close();
        retired.reset(viaPanel);
        viaPanel = nullptr;
    }

    // -1 through a panel now, 0 when none serves the port, else an exit code.
    int reachPanel(bool first)
    {
        if (o.noPanel)
            return 0;
        retired.reset();
        auto *panel = new PanelClient;
        const PanelClient::Reach reach = panel->reach(o.port, kPanelTimeoutMs);
        if (reach != PanelClient::Ready) {
            if (reach == PanelClient::Refused && first)
                complain(QStringLiteral("%1: busy: the panel holds it and does not serve this script (%2)")
                             .arg(printableName(o.port), panel->failure()));
            delete panel;
            return reach == PanelClient::Refused && first ? int(ctl::PortBusy) : 0;
        }
        complain(QStringLiteral("%1: through the panel (process %2), which holds the port")
                     .arg(printableName(o.port))
                     .arg(panel->pid()));
        viaPanel = panel;
        QObject::connect(panel, &PanelClient::status, [this](const QDateTime &when, const laser::Reading &r) { sink.status(when, r); });
        QObject::connect(panel, &PanelClient::command,
                         [this](const QDateTime &when, const laser::WorkingPoint &p) { sink.command(when, p); });
        QObject::connect(panel, &PanelClient::event, [this](const QDateTime &when, const QString &kind, const QString &detail) {
            sink.event(when, kind, detail);
            const bool lost = kind == laser::csv::eventKind(LinkEvent::Lost);
            if (lost || kind == laser::csv::eventKind(LinkEvent::Close))
                linkEnded(lost ? detail : QStringLiteral("the panel closed the port"), lost);
        });
        QObject::connect(panel, &PanelClient::ended, [this] {
            if (!up)
                return;
            const QString why = QStringLiteral("the panel went away");
            sink.event(QDateTime::currentDateTimeUtc(), laser::csv::eventKind(LinkEvent::Lost), why);
            linkEnded(why);
        });
        if (!first)
            sink.event(QDateTime::currentDateTimeUtc(), laser::csv::eventKind(LinkEvent::Open), o.port);
        started = up = true;
        return -1;
    }

    void linkEnded(const QString &detail, bool panelWaits = false)
    {
        if (!up)
            return;
        up = false;
        panelReopens = panelWaits;
        looks = 0;
        retire();
        sink.ended(detail);
        if (reconnect)
            waiting.watch(deviceKey);
    }

    // The panel serves the port by the name given; the device may be back
    // under another. A panel that lost the port opens it again itself: the
    // port is taken here only if it has not after a few looks.
    void reopen(const QString &port)
    {
        const bool mayTakePort = !panelReopens || ++looks > kPanelReopenLooks;
        if (up || reachPanel(false) == -1 || (mayTakePort && link.open(port, mode, nullptr)))
            waiting.stop();
    }

    static constexpr int kPanelTimeoutMs = 2000;
    static constexpr int kPanelReopenLooks = 4;
    const Options &o;
    Sink sink;
    PortSession link;
    PanelClient *viaPanel = nullptr;
    std::unique_ptr<PanelClient> retired;
    laser::PortWatcher waiting;
    QString deviceKey;
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    bool reconnect = false;
    bool panelReopens = false;   // the panel lost the port and waits for it too
    int looks = 0;               // at the device back, since the loss
    bool started = false;   // opened once: later opens are reported
    bool up = false;        // the link is there now
};

} // namespace cli
