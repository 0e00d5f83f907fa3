// The window's side of the laser link: command frames out, status payloads in.
#include "mainwindow.h"

#include "alarmshade.h"
#include "commandframe.h"
#include "mainwindowform.h"
#include "portsession.h"
#include "statusdecode.h"
#include "statusframe.h"
#include "variant.h"
#include "words.h"

#include <QDateTime>
#include <QPalette>
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
    readoutTip = toolTip;
    for (QWidget *w : std::initializer_list<QWidget *>{ui->edit_current_a, ui->edit_temp_a,
                                                      ui->comboBox_button_touchOff_read,
                                                      ui->comboBox_button_status, ui->comboBox_button}) {
        w->setEnabled(live);
        w->setToolTip(toolTip);
    }
}

namespace {
// Looks the readouts take besides the greyed stale one. Colours only: a style
// sheet would change the widgets' sizes, and the rows would move.
void setLook(QWidget *w, const char *look)
{
    if (w->property("look").toByteArray() == look)
        return;
    w->setProperty("look", QByteArray(look));
    QPalette palette;
    const bool alarm = qstrcmp(look, "alarm") == 0;
    if (alarm || qstrcmp(look, "paused") == 0) {
        // The disabled group stays as it is: a greyed readout is stale.
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button})
                palette.setColor(group, role, QColor(alarm ? 0xd32f2f : 0xfff4c2));
            if (alarm)
                for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText})
                    palette.setColor(group, role, Qt::white);
        }
    }
    w->setPalette(palette);
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

QString MainWindow::alarmText(int condition) const
{
    // The trend's legend names the same conditions: one wording for both.
    return laser::alarmText(laser::Alarms::name(laser::Alarms::Condition(condition)));
}

void MainWindow::showAlarms()
{
    using laser::Alarms;
    const bool paused = displayPaused() && !shownStale;
    const int shown = laser::shownAlarms(*session);
    const std::pair<QWidget *, Alarms::Condition> readouts[] = {
        {ui->comboBox_button_status, Alarms::PumpSupply},
        {ui->comboBox_button, Alarms::TecLock},
        {ui->edit_temp_a, Alarms::PumpTemperature},
    };
    // A fault stays red while paused too; its readout says which and since when.
    for (const auto &[widget, condition] : readouts) {
        const bool red = shown & condition;
        setLook(widget, red ? "alarm" : paused ? "paused" : "");
        const QString since = session->alarms().since(condition).toLocalTime().toString(QStringLiteral("HH:mm:ss"));
        widget->setToolTip(red ? tr("%1，自 %2 起").arg(alarmText(condition), since) : readoutTip);
    }
    for (QWidget *w : std::initializer_list<QWidget *>{ui->edit_current_a, ui->comboBox_button_touchOff_read})
        setLook(w, paused ? "paused" : "");
}

void MainWindow::reportAlarm(laser::LinkEvent event, const QString &condition)
{
    // Every fault still active is named: the last one alone would hide the others.
    QStringList active;
    QString changed = condition;
    for (laser::Alarms::Condition c : laser::Alarms::kAll) {
        if (laser::shownAlarms(*session) & c)
            active << alarmText(c);
        if (condition == laser::Alarms::name(c))
            changed = alarmText(c);
    }
    QStringList parts;
    if (event == laser::LinkEvent::AlarmCleared)
        parts << tr("报警解除：%1").arg(changed);
    if (!active.isEmpty())
        parts << tr("报警：%1").arg(active.join(tr("、")));
    ui->edit_message->setText(parts.join(tr("；")));
    showAlarms();
}
