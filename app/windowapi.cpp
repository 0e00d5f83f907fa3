// The window's side of the local socket: the operator's permission, the
// paused display, and scripts' working points through the Send path.
#include "mainwindow.h"

#include "firmware.h"
#include "mainwindowform.h"
#include "monitor.h"
#include "panelserver.h"
#include "portsession.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

void MainWindow::serveScripts()
{
    // After the monitor's, so the link log has the Open before what the server says.
    connect(session, &laser::PortSession::linkEvent, this, [this](const QDateTime &, laser::LinkEvent event) {
        if (event == laser::LinkEvent::Open && !panelServer)
            startScriptServer();
    });

    // Off at every start: the operator at the panel decides, each session.
    allowScripts = new QAction(QCoreApplication::translate("MainWindow", "Allow scripts to send commands"), this);
    allowScripts->setCheckable(true);
    monitor->contextMenu()->addSeparator();
    monitor->contextMenu()->addAction(allowScripts);
    connect(allowScripts, &QAction::toggled, this, [this](bool on) {
        if (panelServer)
            panelServer->setCommandsAllowed(on);
        ui->edit_message->setText(on ? tr("已允许脚本发送命令") : tr("已禁止脚本发送命令"));
        updateTitle();
    });
    // Connected after the form's own slots, so these see the timer as they left it.
    for (QPushButton *button : {ui->stop_button, ui->start_button})
        connect(button, &QPushButton::clicked, this,
                [this] {
                    if (panelServer)
                        panelServer->setPaused(displayPaused());
                });
}

void MainWindow::startScriptServer()
{
    panelServer = new laser::PanelServer(
        session, {QStringLiteral("laserpanel"), QStringLiteral(LASERPANEL_VERSION), &laser::buildVariant()}, this);
    panelServer->setCommandPath(
        [this](const laser::WorkingPoint &point, qint64 pid) { return applyScriptCommand(point, pid); });
    panelServer->setCommandsAllowed(allowScripts->isChecked());
    connect(panelServer, &laser::PanelServer::note, monitor, &Monitor::onNote);
    panelServer->serveIfOpen();
}

QString MainWindow::applyScriptCommand(const laser::WorkingPoint &point, qint64 pid)
{
    // The fields show what is sent: a value typed but not sent is replaced.
    showWorkingPoint(point);

    // The Send button itself, so that whatever listens to it hears a script too.
    bool sent = false;
    const auto listening = connect(session, &laser::PortSession::commandSent, this, [&sent] { sent = true; });
    ui->button_current_in->click();
    disconnect(listening);
    if (sent) {
        // The operator did not press Send: say who did.
        ui->edit_message->setText(tr("数据写入成功（脚本 %1）").arg(pid));
        return QString();
    }
    if (!session->isOpen() || !ui->button_current_in->isEnabled())
        return QStringLiteral("the port is not open");
    return session->waitingCommands() > 0 ? QStringLiteral("the port takes nothing: commands are still waiting")
                                          : QStringLiteral("writing to the port failed");
}
