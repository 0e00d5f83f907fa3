// The window's side of the laser link: command frames out, status payloads in.
#include "mainwindow.h"

#include "commandframe.h"
#include "mainwindowform.h"
#include "statusdecode.h"
#include "statusframe.h"
#include "variant.h"

#include <QSerialPort>

int MainWindow::writeCommandFrame(int current, int temperature, int /*unused1*/, int /*unused2*/,
                                  int pulseWidth, int frequency)
{
    if (!serialPort)
        return -1;
    const QByteArray frame =
        laser::encodeCommandFrame(triggerMode, current, temperature, pulseWidth, frequency);
    return static_cast<int>(serialPort->write(frame));
}

void MainWindow::receiveData(QByteArray qa)
{
    decodeStatus(qa);
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
    ui->edit_current_a->setText(QString::number(currentReadback, 'f', 2));
    ui->edit_temp_a->setText(QString::number(temperatureReadback));
    ui->edit_ifreq_a->setText(QString::number(ifreqSetting * variant::kFreqStepKHz));
    ui->comboBox_button_touchOff_read->setCurrentIndex(triggerReadback != 0 ? 1 : 0);
    ui->comboBox_button_status->setCurrentIndex((statusFlags & laser::PumpSupplyNormal) ? 0 : 1);
    ui->comboBox_button->setCurrentIndex((statusFlags & laser::TecLocked) ? 0 : 1);
}
