// The window's side of the port: the field that remembers it and opens it on
// Return, the reasons it shows, and the wait for a lost device to come back.
#include "mainwindow.h"

#include "mainwindowform.h"
#include "monitor.h"
#include "portcompleter.h"
#include "portsession.h"
#include "portwatcher.h"
#include "words.h"

#include "panelsettings.h"

namespace {
const QString kPortKey = QStringLiteral("port");
} // namespace

void MainWindow::wirePortField()
{
    // Without a port that opened, the form's COM1 stays.
    const QString last = laser::PanelSettings().value(kPortKey).toString();
    if (!last.isEmpty())
        ui->portnun_edit->setText(last);
    new PortCompleter(ui->portnun_edit);
    // Through the button, so Return does nothing while a port is open.
    connect(ui->portnun_edit, &QLineEdit::returnPressed, ui->portopen_button, &QPushButton::click);

    portWatcher = new laser::PortWatcher(this);
    connect(portWatcher, &laser::PortWatcher::back, this, &MainWindow::portBack);
    // After the monitor's, so that the log has the loss before the wait.
    connect(session, &laser::PortSession::linkEvent, this, [this](const QDateTime &, laser::LinkEvent event) {
        if (event == laser::LinkEvent::Lost)
            waitForPort();
    });
}

void MainWindow::rememberPort()
{
    laser::PanelSettings settings;
    if (settings.value(kPortKey).toString() != portName)
        settings.setValue(kPortKey, portName);
}

QString MainWindow::failureText(const laser::PortFailure &failure) const
{
    switch (failure.kind) {
    case laser::PortFailure::NoDevice: return tr("没有这个设备");
    case laser::PortFailure::NotSerial: return tr("不是串口设备");
    case laser::PortFailure::NoPermission: return tr("没有权限（需要 dialout 组）");
    case laser::PortFailure::Busy: return tr("已被其他程序占用");
    case laser::PortFailure::Removed: return tr("设备已移除");
    case laser::PortFailure::HungUp: return tr("线路已挂断");
    case laser::PortFailure::None:
    case laser::PortFailure::Other: break;
    }
    return failure.reason;
}

void MainWindow::waitForPort()
{
    // The key was found at the open, while the device was there.
    const QString key = session->deviceKey();
    portWatcher->watch(key);
    sinceLoss.start();
    monitor->onLinkEvent(QDateTime::currentDateTimeUtc(), laser::LinkEvent::Waiting,
                         QStringLiteral("for %1 to come back").arg(laser::PortWatcher::describe(key)));
    ui->button_close->setEnabled(true);
    updateTitle();
}

void MainWindow::stopWaiting()
{
    if (!portWatcher->isWatching())
        return;
    portWatcher->stop();
    ui->button_close->setEnabled(session->isOpen());
    updateTitle();
}

void MainWindow::portBack(const QString &port)
{
    // A USB adapter may come back under another name.
    if (port != portName)
        ui->portnun_edit->setText(port);
    laser::PortFailure failure;
    if (!connectPort(failure))
        return;   // not ready yet (udev may still be setting it up): the next look tries again
    monitor->onLinkEvent(QDateTime::currentDateTimeUtc(), laser::LinkEvent::Reopened,
                         QStringLiteral("%1 after %2 s").arg(portName, laser::words::seconds(sinceLoss.elapsed())));
    stopWaiting();
    showOpened();
}
