// The window's side of the laser link: command frames out, status payloads in.
#include "mainwindow.h"

#include "commandframe.h"
#include "mainwindowform.h"
#include "portsession.h"
#include "statusdecode.h"
#include "statusframe.h"
#include "variant.h"
#include "words.h"

#include <QDateTime>
#include <QTimer>

using laser::words::seconds;

int MainWindow::writeCommandFrame(int current, int temperature, int /*unused1*/, int /*unused2*/,
                                  int pulseWidth, int frequency)
{
    const laser::WorkingPoint point{triggerMode, current, temperature, pulseWidth, frequency, variant::kFreqStepKHz};
    return session->send(point) == laser::PortSession::Sent::Ok ? laser::kFrameSize : -1;
}

void MainWindow::receiveData(QByteArray qa)
{
    // The session decodes once, runs the stale rule and tells the monitor;
    // the window keeps its status members for the next refresh.
    session->takePayload(qa);
    decodeStatus(qa);
}

void MainWindow::decodeStatus(const QByteArray &payload)
{
    // A short payload would index past its end; keep the last good values.
    if (payload.size() < laser::kStatusPayloadSize)
        return;
    // One closed before its payload came belongs to no connection.
    if (!session->isOpen())
        return;
    unpackPayload(payload, statusBytes);
    const laser::Reading &r = session->lastReading();
    currentReadback = r.currentA;
    temperatureReadback = r.temperatureC;
    triggerReadback = statusBytes[laser::Trigger];
    statusFlags = statusBytes[laser::Flags];
}

void MainWindow::unpackPayload(const QByteArray &payload, std::vector<int> &target) const
{
    laser::unpackPayload(payload, target);
}

double MainWindow::currentFromCode(int code) const
{
    return laser::currentFromCode(code);
}

int MainWindow::temperatureFromCode(int code) const
{
    return laser::temperatureFromCode(code, calibSlope, calibIntercept);
}

void MainWindow::computeCalibration()
{
    laser::computeCalibration(calibX, calibY, calibSlope, calibIntercept);
}

void MainWindow::onTimerOut()
{
    ui->edit_ifreq_a->setText(QString::number(ifreqSetting * variant::kFreqStepKHz));
    if (!session->isOpen()) {
        showNoData();
        return;
    }
    // The record and the display change to stale at the same moment.
    session->checkStale();
    if (session->hasFrame()) {
        ui->edit_current_a->setText(QString::number(currentReadback, 'f', 2));
        ui->edit_temp_a->setText(QString::number(temperatureReadback));
        ui->comboBox_button_touchOff_read->setCurrentIndex(triggerReadback != 0 ? 1 : 0);
        ui->comboBox_button_status->setCurrentIndex((statusFlags & laser::PumpSupplyNormal) ? 0 : 1);
        ui->comboBox_button->setCurrentIndex((statusFlags & laser::TecLocked) ? 0 : 1);
    }
    const bool stale = session->isStale();
    if (!stale)
        setReadoutsLive(true, QString());
    else if (session->hasFrame())
        setReadoutsLive(false, tr("最后一次状态：%1 秒前").arg(seconds(session->ageMs())));
    else
        setReadoutsLive(false, tr("打开串口后 %1 秒未收到状态").arg(seconds(session->ageMs())));
    if (stale != shownStale)
        ui->edit_message->setText(stale ? tr("未收到激光器状态") : tr("激光器状态已恢复"));
    shownStale = stale;
    showAlarms();
}

void MainWindow::showNoData()
{
    for (QLineEdit *edit : {ui->edit_current_a, ui->edit_temp_a}) {
        edit->clear();
        edit->setPlaceholderText(tr("无数据"));
    }
    for (QComboBox *box : {ui->comboBox_button_touchOff_read, ui->comboBox_button_status, ui->comboBox_button})
        box->setCurrentIndex(-1);
    setReadoutsLive(true, QString());
    shownStale = false;
    showAlarms();
}

void MainWindow::setReadoutsLive(bool live, const QString &toolTip)
{
    for (QWidget *w : std::initializer_list<QWidget *>{ui->edit_current_a, ui->edit_temp_a,
                                                      ui->comboBox_button_touchOff_read,
                                                      ui->comboBox_button_status, ui->comboBox_button}) {
        w->setEnabled(live);
        w->setToolTip(toolTip);
    }
}

namespace {
// Looks the readouts take besides the greyed stale one; set only on a change,
// since a style sheet costs a restyle.
void setLook(QWidget *w, const char *look)
{
    if (w->property("look").toByteArray() == look)
        return;
    w->setProperty("look", QByteArray(look));
    if (qstrcmp(look, "alarm") == 0)
        w->setStyleSheet(QStringLiteral("background-color: #d32f2f; color: white;"));
    else if (qstrcmp(look, "paused") == 0)
        w->setStyleSheet(QStringLiteral("background-color: #fff4c2;"));
    else
        w->setStyleSheet(QString());
}
} // namespace

void MainWindow::showPaused()
{
    // Stale data stays greyed as stale: shown as paused it would read as
    // merely held.
    if (!shownStale)
        setReadoutsLive(true, tr("显示已暂停"));
    showAlarms();
}

bool MainWindow::displayPaused() const
{
    return refreshTimer && !refreshTimer->isActive() && session->isOpen();
}

void MainWindow::showAlarms()
{
    using laser::Alarms;
    const bool paused = displayPaused() && !shownStale;
    const bool known = session->isOpen() && session->hasFrame() && !session->isStale();
    const std::pair<QWidget *, Alarms::Condition> readouts[] = {
        {ui->comboBox_button_status, Alarms::PumpSupply},
        {ui->comboBox_button, Alarms::TecLock},
        {ui->edit_temp_a, Alarms::PumpTemperature},
    };
    // A fault stays red while paused too; stale data shows no fault as current.
    for (const auto &[widget, condition] : readouts)
        setLook(widget, known && session->alarms().isActive(condition) ? "alarm" : paused ? "paused" : "");
    for (QWidget *w : std::initializer_list<QWidget *>{ui->edit_current_a, ui->comboBox_button_touchOff_read})
        setLook(w, paused ? "paused" : "");
}

void MainWindow::reportAlarm(laser::LinkEvent event, const QString &condition)
{
    QString what = condition;
    if (condition == laser::Alarms::name(laser::Alarms::PumpSupply))
        what = tr("泵浦电源异常");
    else if (condition == laser::Alarms::name(laser::Alarms::TecLock))
        what = tr("TEC 失锁");
    else if (condition == laser::Alarms::name(laser::Alarms::PumpTemperature))
        what = tr("泵浦温度超出标定范围");
    ui->edit_message->setText(event == laser::LinkEvent::Alarm ? tr("报警：%1").arg(what)
                                                               : tr("报警解除：%1").arg(what));
    showAlarms();
}
