#pragma once

#include "ctl.h"
#include "reading.h"
#include "statusframe.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

// One serial port with the panel's line settings and receive path: raw bytes
// in, decoded status frames out.
class PortLink : public QObject
{
    Q_OBJECT

public:
    explicit PortLink(const QString &name, QObject *parent = nullptr);

    QString name() const { return portName; }
    bool isOpen() const { return serial.isOpen(); }
    // Refuses what must not be opened, opens, sets 115200 8N1. On failure,
    // `failure` holds the exit code and the reason.
    bool open(QIODevice::OpenMode mode, ctl::OpenFailure &failure);
    void close();
    // Writes all of `bytes`, waiting at most timeoutMs. Empty on success,
    // else the reason.
    QString writeAll(const QByteArray &bytes, int timeoutMs);

signals:
    void frame(const laser::Reading &reading);
    void noise(int bytes);
    // The open port stopped working (unplugged, hung up); it is closed now.
    void lost(const QString &reason);

private:
    void readAvailable();
    void gatherDue();
    void take(const QByteArray &bytes);
    void onError(QSerialPort::SerialPortError error);

    QString portName;
    QSerialPort serial;
    laser::StatusFrameReassembler frames;
    // While frames come close together, reads are gathered for a while: the
    // driver holds the bytes and one wake-up takes them all.
    QElapsedTimer sinceRead;
    QTimer gather;
    bool holding = false;
};

// The name as it may be shown: control characters as \xNN.
QString printableName(const QString &name);
