#include "mainwindow.h"

#include "lablimits.h"
#include "mainwindowform.h"
#include "monitor.h"
#include "portcompleter.h"
#include "portsession.h"
#include "portwatcher.h"
#include "readonlybox.h"
#include "serialthread.h"
#include "setpoint.h"
#include "statusdecode.h"
#include "variant.h"

#include <QDebug>
#include <QFontMetricsF>
#include <QHash>
#include <QMap>
#include <QSerialPort>
#include <QStyleOptionFrame>
#include <QThread>
#include <QTimer>

namespace {
constexpr int kRefreshIntervalMs = 500;

// The frequency field's steps per unit: it reads whole kHz, variant::kFreqStepKHz a step.
constexpr double kWholeKHz = 0.0;

setpoint::Typed readSetpoint(const QString &text, double stepsPerUnit, const QScrollBar &scroll)
{
    return stepsPerUnit > 0 ? setpoint::fromDecimalText(text, stepsPerUnit, scroll.minimum(), scroll.maximum())
                            : setpoint::fromFrequencyText(text, variant::kFreqStepKHz, scroll.minimum(), scroll.maximum());
}

QString setpointText(int position, double stepsPerUnit)
{
    return stepsPerUnit > 0 ? setpoint::decimalText(position, stepsPerUnit)
                            : setpoint::frequencyText(position, variant::kFreqStepKHz);
}

// The width that shows every canonical text of the scroll bar in the field
// whole: QLineEdit keeps 2 px beside its text and scrolls the text unless
// a pixel and the cursor fit after it.
int widthShowingAll(const QLineEdit &edit, const QScrollBar &scroll, double stepsPerUnit)
{
    edit.ensurePolished();
    // Laying out every text took a third of the window's own start-up. Texts
    // whose characters add up alike lay out alike, so one of each is enough.
    const QFontMetricsF characters(edit.font());
    QHash<QChar, qreal> advance;
    QMap<qreal, QString> bySum;
    for (int position = scroll.minimum(); position <= scroll.maximum(); ++position) {
        const QString text = setpointText(position, stepsPerUnit);
        qreal sum = 0;
        for (const QChar c : text) {
            auto known = advance.constFind(c);
            if (known == advance.constEnd())
                known = advance.insert(c, characters.horizontalAdvance(c));
            sum += *known;
        }
        bySum.insert(sum, text);
    }
    int widest = 0;
    for (const QString &text : bySum)
        widest = qMax(widest, edit.fontMetrics().horizontalAdvance(text));
    QStyleOptionFrame frame;
    frame.initFrom(&edit);
    frame.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &edit) : 0;
    frame.state |= QStyle::State_Sunken;
    const QMargins margins = edit.textMargins();
    const int cursor = edit.style()->pixelMetric(QStyle::PM_TextCursorWidth, &frame, &edit);
    const QSize text(widest + 2 * 2 + 1 + cursor + margins.left() + margins.right(), edit.sizeHint().height());
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &frame, text, &edit).width();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new MainWindowForm),
      serialPort(nullptr),
      portName(QStringLiteral("COM1")),
      serialWorker(nullptr),
      refreshTimer(nullptr),
      timerStopped(0),
      statusFlags(laser::PumpSupplyNormal | laser::TecLocked),
      triggerReadback(0),
      temperatureReadback(0),
      currentReadback(0.0),
      ifreqSetting(variant::kFreqInitialSteps),
      temperatureSetting(setpoint::kTemperatureByte),
      pwSetting(laser::kPulseInitialSteps),
      currentSetting(0.0),
      triggerMode(false),
      calibSlope(4, 0.0),
      calibIntercept(4, 0.0),
      calibX(laser::calibrationDegrees()),
      calibY(laser::calibrationCodes())
{
    // The form sets its values before it binds the slots, so building it runs none.
    ui->setupUi(this);
    setConnected(false);
    // Unlike after a Close, Change Mode too waits for the first Open.
    ui->button_touchOff->setEnabled(false);
    computeCalibration();
    // Left editable, a box would show the operator's choice as the laser's.
    for (QComboBox *box : {ui->comboBox_button_touchOff_read, ui->comboBox_button_status, ui->comboBox_button})
        makeReadOnly(box);
    wireSession();
    // The form's sample values were never read from a laser.
    showNoData();
    wireMonitor();
    wirePortField();
    updateTitle();
    wireSetpointFields();
    fitSetpointFields();
    serveScripts();
    // No laser yet: the limits for all of them.
    applyLimits(laser::loadLimits(QString(), laser::buildVariant()));
}

void MainWindow::wireSession()
{
    qRegisterMetaType<laser::Reading>();
    qRegisterMetaType<laser::WorkingPoint>();
    qRegisterMetaType<laser::LinkEvent>();
    clock.start();
    session = new laser::PortSession(this);
    session->setClock([this] { return clock.elapsed() + clockOffsetMs; });
    session->setVariant(laser::buildVariant());
    // Reception goes through serialThread and back through receiveData.
    session->setOutsideReader(true);
    connect(session, &laser::PortSession::linkEvent, this,
            [this](const QDateTime &, laser::LinkEvent event, const QString &detail) { onLinkEvent(event, detail); });
}

void MainWindow::wireMonitor()
{
    // The monitor lives in windows of its own; the form gains no widget.
    monitor = new Monitor(this, ui->groupBox_2, QString::fromUtf8(variant::kName));
    connect(session, &laser::PortSession::frameReceived, monitor, &Monitor::onFrameReceived);
    connect(session, &laser::PortSession::statusDecoded, monitor, &Monitor::onStatusDecoded);
    connect(session, &laser::PortSession::bytesSkipped, monitor, &Monitor::onBytesSkipped);
    connect(session, &laser::PortSession::commandSent, monitor, &Monitor::onCommandSent);
    connect(session, &laser::PortSession::linkEvent, monitor, &Monitor::onLinkEvent);
    connect(monitor, &Monitor::message, ui->edit_message, &QLineEdit::setText);
    connect(monitor, &Monitor::recordingSwitched, this, &MainWindow::updateTitle);
}

void MainWindow::wireSetpointFields()
{
    // An edit ends on Return or when the field loses focus; only then does the
    // field take the canonical text of what the next command carries, as if
    // its scroll bar had just moved there.
    connect(ui->edit_current_in, &QLineEdit::editingFinished, this,
            [this] { on_scroll_current_valueChanged(ui->scroll_current->value()); });
    connect(ui->edit_pw_in, &QLineEdit::editingFinished, this,
            [this] { on_scroll_pw_valueChanged(ui->scroll_pw->value()); });
    connect(ui->edit_ifreq_in, &QLineEdit::editingFinished, this,
            [this] { on_scroll_ifreq_valueChanged(ui->scroll_ifreq->value()); });
    // textEdited comes just before textChanged when the operator edits a field.
    for (QLineEdit *edit : {ui->edit_current_in, ui->edit_pw_in, ui->edit_ifreq_in})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { editedField = edit; });
}

void MainWindow::fitSetpointFields()
{
    // Each value field fits its widest value in the window's font; the form's
    // share of the row alone showed 15.00 as "5.00".
    for (const SetpointField &field : {SetpointField{ui->edit_current_in, ui->scroll_current, setpoint::kCurrentStepsPerAmp},
                                       SetpointField{ui->edit_pw_in, ui->scroll_pw, setpoint::kPulseStepsPerNs},
                                       SetpointField{ui->edit_ifreq_in, ui->scroll_ifreq, kWholeKHz}})
        field.edit->setMinimumWidth(widthShowingAll(*field.edit, *field.scroll, field.stepsPerUnit));
}

MainWindow::~MainWindow()
{
    // Closing the window takes the focus from a field, which would end its
    // edit after the form is gone.
    for (QLineEdit *edit : {ui->edit_current_in, ui->edit_pw_in, ui->edit_ifreq_in})
        disconnect(edit, &QLineEdit::editingFinished, this, nullptr);
    // Queued commands get their time on the line, and what stays behind is
    // recorded as dropped.
    session->close();
    disconnect(session, nullptr, this, nullptr);
    releaseConnection();
    delete ui;
}

// --- Port connection and refresh timer ---

void MainWindow::on_portnun_edit_selectionChanged()
{
}

void MainWindow::on_portnun_edit_textChanged(const QString &arg1)
{
    portName = arg1;
}

void MainWindow::on_portopen_button_clicked()
{
    stopWaiting();
    laser::PortFailure failure;
    if (!connectPort(failure)) {
        failOpen(failure);
        return;
    }
    showOpened();
}

bool MainWindow::connectPort(laser::PortFailure &failure)
{
    releaseConnection();
    const bool opened = session->open(portName, QIODevice::ReadWrite, &failure);
    serialPort = session->port();
    if (!opened)
        return false;
    serialWorker = new serialThread(session);
    connect(serialWorker, SIGNAL(sendData(QByteArray)), this, SLOT(receiveData(QByteArray)),
            Qt::QueuedConnection);
    // Skipped bytes take the same queued road, so the log keeps line order.
    connect(serialWorker, &serialThread::skippedBytes, session, &laser::PortSession::takeSkipped,
            Qt::QueuedConnection);
    serialWorker->setStackSize(workerStackSize);
    serialWorker->start(QThread::InheritPriority);
    // Under a process limit the thread may never start, and then no status
    // would ever be read: that is no working connection.
    if (!serialWorker->isRunning() && !serialWorker->isFinished()) {
        session->close();
        failure = {laser::PortFailure::Other, QStringLiteral("the receive thread could not start")};
        return false;
    }
    rememberPort();
    refreshTimer = new QTimer(this);
    refreshTimer->start(kRefreshIntervalMs);
    connect(refreshTimer, SIGNAL(timeout()), this, SLOT(onTimerOut()));
    setConnected(true);
    return true;
}

void MainWindow::showOpened()
{
    ui->edit_message->setText(tr("串口打开成功"));
    showNoData();
    applyLimits(session->limits());
    restoreWorkingPoint();
}

void MainWindow::onLinkEvent(laser::LinkEvent event, const QString &detail)
{
    if (event == laser::LinkEvent::Alarm || event == laser::LinkEvent::AlarmCleared)
        reportAlarm(event, detail);
    if (event == laser::LinkEvent::Lost) {
        endConnection();
        ui->edit_message->setText(tr("%1：%2").arg(tr("串口连接已断开"), failureText(session->loss())));
    }
}

void MainWindow::failOpen(const laser::PortFailure &failure)
{
    ui->edit_message->setText(tr("%1：%2").arg(tr("串口打开失败"), failureText(failure)));
    qDebug().noquote() << "open" << portName << "failed:" << failure.reason;
    monitor->onLinkEvent(QDateTime::currentDateTimeUtc(), laser::LinkEvent::OpenFailed,
                         QStringLiteral("%1: %2").arg(portName, failure.reason));
    refreshPortList();
}

void MainWindow::on_stop_button_clicked()
{
    if (!refreshTimer)
        return;
    refreshTimer->stop();
    timerStopped = 1;
    ui->start_button->setEnabled(true);
    ui->stop_button->setEnabled(false);
    ui->edit_message->setText(tr("定时器关闭成功"));
    showPaused();
}

void MainWindow::on_start_button_clicked()
{
    if (!refreshTimer)
        return;
    if (timerStopped == 0) {
        ui->edit_message->setText(tr("定时器启动失败"));
        return;
    }
    refreshTimer->start();
    timerStopped = 0;
    ui->start_button->setEnabled(false);
    ui->stop_button->setEnabled(true);
    ui->edit_message->setText(tr("定时器启动成功"));
    // Not paused any more; the next refresh shows the state as it is, and
    // what turned stale or live while stopped changes there.
    if (!shownStale)
        setReadoutsLive(true, QString());
    showAlarms();
}

void MainWindow::on_button_close_clicked()
{
    if (portWatcher->isWatching()) {
        stopWaiting();
        monitor->onLinkEvent(QDateTime::currentDateTimeUtc(), laser::LinkEvent::Close, portName);
        ui->edit_message->setText(tr("串口关闭成功"));
        return;
    }
    if (!session->isOpen() || !serialWorker)
        return;
    const int dropped = session->close();
    endConnection();
    // Commands still waiting were never sent; saying only "closed" would hide them.
    ui->edit_message->setText(dropped == 0 ? tr("串口关闭成功")
                                           : tr("串口关闭成功") + QStringLiteral(" — ")
                                                 + tr("未发送的命令：%1").arg(dropped));
}

void MainWindow::endConnection()
{
    if (refreshTimer)
        refreshTimer->stop();
    showNoData();
    if (serialWorker)
        serialWorker->quit();
    setConnected(false);
    refreshPortList();
}

void MainWindow::setConnected(bool connected)
{
    ui->portopen_button->setEnabled(!connected);
    ui->button_close->setEnabled(connected);
    // Start waits for a Stop; Open leaves it as it was.
    if (!connected)
        ui->start_button->setEnabled(false);
    ui->stop_button->setEnabled(connected);
    ui->button_current_in->setEnabled(connected);
    // Change Mode stays usable after a Close: it then reports the failed write.
    ui->button_touchOff->setEnabled(true);
}

void MainWindow::refreshPortList()
{
    if (auto *ports = qobject_cast<PortCompleter *>(ui->portnun_edit->completer()))
        ports->refresh();
}

void MainWindow::releaseConnection()
{
    delete refreshTimer;
    refreshTimer = nullptr;
    if (serialWorker) {
        // Its thread only makes one connection, so this returns at once.
        serialWorker->wait();
        delete serialWorker;
        serialWorker = nullptr;
    }
}

// --- Setpoints and command sending ---

void MainWindow::followText(QScrollBar *scroll, int position)
{
    // The operator is still typing: rewriting the text now would put the
    // cursor after digits they never typed.
    textLeads = true;
    scroll->setValue(position);
    textLeads = false;
}

template <typename Member>
void MainWindow::moveSetpoint(const SetpointField &field, Member &member, const QString *text, int position)
{
    if (!text) {
        if (textLeads)
            return;
        member = position;
        field.edit->setText(setpointText(position, field.stepsPerUnit));
        return;
    }
    const bool typing = editedField == field.edit;
    editedField = nullptr;
    const setpoint::Typed typed = readSetpoint(*text, field.stepsPerUnit, *field.scroll);
    member = Member(typing ? typed.member : typed.position);
    followText(field.scroll, typed.position);
    // Text from anywhere else (a restore, an accessibility tool) shows at
    // once what the next command carries.
    if (!typing)
        field.edit->setText(setpointText(typed.position, field.stepsPerUnit));
}

void MainWindow::on_edit_current_in_textChanged(const QString &arg1)
{
    moveSetpoint({ui->edit_current_in, ui->scroll_current, setpoint::kCurrentStepsPerAmp}, currentSetting, &arg1, 0);
}

void MainWindow::on_scroll_current_valueChanged(int value)
{
    moveSetpoint({ui->edit_current_in, ui->scroll_current, setpoint::kCurrentStepsPerAmp}, currentSetting, nullptr, value);
}

void MainWindow::on_edit_pw_in_textChanged(const QString &arg1)
{
    moveSetpoint({ui->edit_pw_in, ui->scroll_pw, setpoint::kPulseStepsPerNs}, pwSetting, &arg1, 0);
    qDebug("%f", pwSetting);
}

void MainWindow::on_scroll_pw_valueChanged(int value)
{
    moveSetpoint({ui->edit_pw_in, ui->scroll_pw, setpoint::kPulseStepsPerNs}, pwSetting, nullptr, value);
}

void MainWindow::on_edit_ifreq_in_textChanged(const QString &arg1)
{
    moveSetpoint({ui->edit_ifreq_in, ui->scroll_ifreq, kWholeKHz}, ifreqSetting, &arg1, 0);
}

void MainWindow::on_scroll_ifreq_valueChanged(int value)
{
    moveSetpoint({ui->edit_ifreq_in, ui->scroll_ifreq, kWholeKHz}, ifreqSetting, nullptr, value);
}

void MainWindow::on_comboBox_button_touchOff_currentIndexChanged(int index)
{
    if (index == 0)
        triggerMode = false;
    else if (index == 1)
        triggerMode = true;
}

void MainWindow::on_button_current_in_clicked()
{
    qDebug() << "pw_in" << pwSetting << "ifreq_in" << ifreqSetting << "temperature_in"
             << temperatureSetting << "current_in" << currentSetting;
    if (setpoint::commandSteps(pwSetting) == 0) {
        ui->edit_message->setText(tr("tec,pw,can't be zero"));
        return;
    }
    if (refusedByLimits(setpoint::commandSteps(currentSetting), setpoint::commandSteps(pwSetting)))
        return;
    reportWrite(writeCommandFrame(setpoint::commandSteps(currentSetting), temperatureSetting, 0, 0,
                                  setpoint::commandSteps(pwSetting), ifreqSetting));
}

void MainWindow::on_button_touchOff_clicked()
{
    const int current = setpoint::commandSteps(currentSetting);
    const int pulseWidth = setpoint::commandSteps(pwSetting);
    if (refusedByLimits(current, pulseWidth))
        return;
    // The laser wants a short gap before a mode change.
    QThread::msleep(1);
    reportWrite(writeCommandFrame(current, temperatureSetting, 0, 0, pulseWidth, ifreqSetting));
}

void MainWindow::reportWrite(int result)
{
    ui->edit_message->setText(result == -1 ? tr("数据写入失败")
                                           : tr("数据写入成功"));
    // The fields now hold what was just sent, not a restored record.
    if (result != -1)
        for (QWidget *w : std::initializer_list<QWidget *>{ui->edit_current_in, ui->edit_pw_in, ui->edit_ifreq_in,
                                                          ui->comboBox_button_touchOff})
            w->setToolTip(QString());
}
