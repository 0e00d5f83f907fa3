// The window's side of the laser link: command frames out, status payloads in.
#include "mainwindow.h"

#include "commandframe.h"
#include "mainwindowform.h"
#include "statusdecode.h"
#include "statusframe.h"
#include "variant.h"

#include <QDateTime>
#include <QSerialPort>

namespace {
constexpr qint64 kWriteBacklogLimit = 10 * laser::kFrameSize;

QString seconds(qint64 ms)
{
    return QString::number(ms / 1000.0, 'f', 1);
}
} // namespace

int MainWindow::writeCommandFrame(int current, int temperature, int /*unused1*/, int /*unused2*/,
                                  int pulseWidth, int frequency)
{
    if (!serialPort)
        return -1;
    // A UART drains a frame in about 1.1 ms: ten frames still waiting mean the
    // far end takes nothing, and queueing more would hide it.
    if (serialPort->bytesToWrite() > kWriteBacklogLimit)
        return -1;
    const QByteArray frame =
        laser::encodeCommandFrame(triggerMode, current, temperature, pulseWidth, frequency);
    const int written = static_cast<int>(serialPort->write(frame));
    if (written != -1)
        emit commandSent(QDateTime::currentDateTimeUtc(), frame,
                         laser::setpointsFromSteps(triggerMode, current, pulseWidth, frequency,
                                                   variant::kFreqStepKHz, temperature));
    return written;
}

void MainWindow::receiveData(QByteArray qa)
{
    decodeStatus(qa);
    // A payload still queued when the port closed belongs to no connection.
    if (qa.size() < laser::kStatusPayloadSize || !serialPort || !serialPort->isOpen())
        return;
    staleRule.frame(nowMs());
    const QDateTime when = QDateTime::currentDateTimeUtc();
    if (linkStale) {
        linkStale = false;
        emit linkEvent(when, laser::LinkEvent::Recovered, QString());
    }
    laser::Reading reading;
    reading.currentA = currentReadback;
    reading.temperatureC = temperatureReadback;
    reading.externalTrigger = triggerReadback != 0;
    reading.pumpSupplyNormal = (statusFlags & laser::PumpSupplyNormal) != 0;
    reading.tecLocked = (statusFlags & laser::TecLocked) != 0;
    emit frameReceived(when, qa);
    emit statusDecoded(when, reading);
}

void MainWindow::watchLink()
{
    const qint64 now = nowMs();
    if (linkStale || !staleRule.isStale(now))
        return;
    linkStale = true;
    emit linkEvent(QDateTime::currentDateTimeUtc(), laser::LinkEvent::Stale,
                   QStringLiteral("no status for %1 s").arg(seconds(staleRule.ageMs(now))));
}

void MainWindow::decodeStatus(const QByteArray &payload)
{
    // A short payload would index past its end; keep the last good values.
    if (payload.size() < laser::kStatusPayloadSize)
        return;
    unpackPayload(payload, statusBytes);
    currentReadback = currentFromCode(
        laser::statusCode(statusBytes[laser::CurrentHigh], statusBytes[laser::CurrentLow]));
    temperatureReadback = temperatureFromCode(
        laser::statusCode(statusBytes[laser::TemperatureHigh], statusBytes[laser::TemperatureLow]));
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
    if (!serialPort || !serialPort->isOpen()) {
        showNoData();
        return;
    }
    if (staleRule.hasFrame()) {
        ui->edit_current_a->setText(QString::number(currentReadback, 'f', 2));
        ui->edit_temp_a->setText(QString::number(temperatureReadback));
        ui->comboBox_button_touchOff_read->setCurrentIndex(triggerReadback != 0 ? 1 : 0);
        ui->comboBox_button_status->setCurrentIndex((statusFlags & laser::PumpSupplyNormal) ? 0 : 1);
        ui->comboBox_button->setCurrentIndex((statusFlags & laser::TecLocked) ? 0 : 1);
    }
    const qint64 now = nowMs();
    const bool stale = staleRule.isStale(now);
    if (!stale)
        setReadoutsLive(true, QString());
    else if (staleRule.hasFrame())
        setReadoutsLive(false, tr("最后一次状态：%1 秒前").arg(seconds(staleRule.ageMs(now))));
    else
        setReadoutsLive(false, tr("打开串口后 %1 秒未收到状态").arg(seconds(staleRule.ageMs(now))));
    if (stale != shownStale)
        ui->edit_message->setText(stale ? tr("未收到激光器状态") : tr("激光器状态已恢复"));
    shownStale = stale;
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
