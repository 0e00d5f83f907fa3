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
    // Bytes that came in before the connection raised no readyRead we could
    // see; without this read they would wait for the next frame.
    QMetaObject::invokeMethod(this, "readData", Qt::QueuedConnection);
}

void serialThread::readData()
{
    if (!port->isOpen())
        return;
    const auto pieces = frames.receive(port->readAll());
    for (const auto &piece : pieces) {
        if (!piece.skipped.isEmpty())
            emit skippedBytes(piece.skipped);
        if (!piece.payload.isEmpty())
            emit sendData(piece.payload);
    }
}
