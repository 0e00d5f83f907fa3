#pragma once

#include "statusframe.h"

#include <QByteArray>
#include <QThread>

class QSerialPort;

// Receive side of the laser link. The thread only binds the port's readyRead to
// readData and ends; reception itself runs where the port lives (the GUI thread).
class serialThread : public QThread
{
    Q_OBJECT

public:
    explicit serialThread(QSerialPort *port);

signals:
    int sendData(QByteArray qa);
    // Bytes dropped as not part of a frame, in line order with sendData.
    void skippedBytes(QByteArray bytes);

protected slots:
    void run() override;
    void readData();

private:
    QSerialPort *port;
    laser::StatusFrameReassembler frames;
};
