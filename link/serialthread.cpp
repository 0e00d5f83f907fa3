#include "serialthread.h"

#include <QSerialPort>

serialThread::serialThread(QSerialPort *port)
    : QThread(nullptr), port(port)
{
}

void serialThread::run()
{
    // Both objects live on the GUI thread, so readyRead calls readData there.
    connect(port, SIGNAL(readyRead()), this, SLOT(readData()));
}

void serialThread::readData()
{
    const QList<QByteArray> payloads = frames.feed(port->readAll());
    for (const QByteArray &payload : payloads)
        emit sendData(payload);
}
