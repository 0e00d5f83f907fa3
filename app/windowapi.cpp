// The window's side of the local socket: the operator's permission, the
// paused display, and scripts' working points through the Send path.
#include "mainwindow.h"

#include "firmware.h"
#include "mainwindowform.h"
#include "monitor.h"
#include "panelserver.h"
#include "portsession.h"
#include "setcommand.h"
#include "setpoint.h"
#include "variant.h"

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
    panelServer->setCommandPath([this] { return currentCommand(); },
                                [this](const laser::WorkingPoint &point, const laser::SetRequest &given) {
                                    return applyScriptCommand(point, given);
                                });
    panelServer->setCommandsAllowed(allowScripts->isChecked());
    connect(panelServer, &laser::PanelServer::note, monitor, &Monitor::onNote);
    panelServer->serveIfOpen();
}

laser::WorkingPoint MainWindow::currentCommand() const
{
    return {triggerMode, setpoint::commandSteps(currentSetting), temperatureSetting, setpoint::commandSteps(pwSetting),
            ifreqSetting, variant::kFreqStepKHz};
}

QString MainWindow::applyScriptCommand(const laser::WorkingPoint &command, const laser::SetRequest &given)
{
    // As if the operator had moved the scroll bars: the fields named show
    // the canonical text of what is sent, even where the value is unchanged.
    if (!given.current.isEmpty()) {
        ui->scroll_current->setValue(command.currentSteps);
        on_scroll_current_valueChanged(command.currentSteps);
    }
    if (!given.pulse.isEmpty()) {
        ui->scroll_pw->setValue(command.pulseSteps);
        on_scroll_pw_valueChanged(command.pulseSteps);
    }
    if (!given.freq.isEmpty()) {
        ui->scroll_ifreq->setValue(command.freqSteps);
        on_scroll_ifreq_valueChanged(command.freqSteps);
    }
    ui->comboBox_button_touchOff->setCurrentIndex(command.externalTrigger ? 1 : 0);

    // The Send button itself, so that whatever listens to it hears a script too.
    bool sent = false;
    const auto listening = connect(session, &laser::PortSession::commandSent, this, [&sent] { sent = true; });
    ui->button_current_in->click();
    disconnect(listening);
    if (sent)
        return QString();
    if (!session->isOpen() || !ui->button_current_in->isEnabled())
        return QStringLiteral("the port is not open");
    return session->waitingCommands() > 0 ? QStringLiteral("the port takes nothing: commands are still waiting")
                                          : QStringLiteral("writing to the port failed");
}
