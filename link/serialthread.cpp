#include "serialthread.h"

#include "portsession.h"

#include <QSerialPort>

serialThread::serialThread(laser::PortSession *session)
    : QThread(nullptr), session(session), port(session->port())
{
    connect(session, &laser::PortSession::payloadReady, this, &serialThread::sendData);
    connect(session, &laser::PortSession::skippedReady, this, &serialThread::skippedBytes);
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
    session->readAvailable();
}
