#pragma once

#include <QByteArray>
#include <QThread>

class QSerialPort;
namespace laser {
class PortSession;
}

// Receive side of the laser link. The thread only binds the port's readyRead to
// readData and ends; reception itself runs where the port lives (the GUI thread).
// The session reassembles; whole payloads leave through sendData.
class serialThread : public QThread
{
    Q_OBJECT

public:
    explicit serialThread(laser::PortSession *session);

signals:
    int sendData(QByteArray qa);
    // Bytes dropped as not part of a frame, in line order with sendData.
    void skippedBytes(QByteArray bytes);

protected slots:
    void run() override;
    void readData();

private:
    laser::PortSession *session;
    QSerialPort *port;
};
