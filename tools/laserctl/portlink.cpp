#include "portlink.h"

#include "portguard.h"
#include "serialerror.h"

#include <QDeadlineTimer>
#include <QFileInfo>

PortLink::PortLink(const QString &name, QObject *parent)
    : QObject(parent), portName(name)
{
    connect(&serial, &QSerialPort::readyRead, this, &PortLink::readAvailable);
    connect(&serial, &QSerialPort::errorOccurred, this, &PortLink::onError);
}

bool PortLink::open(QIODevice::OpenMode mode, ctl::OpenFailure &failure)
{
    const QString refusal = platform::portRefusal(portName);
    if (!refusal.isEmpty()) {
        failure = {ctl::NotSerial, refusal};
        return false;
    }
    serial.setPortName(portName);
    if (!serial.open(mode)) {
        // Where Qt finds the device, for telling a refused open from a lock.
        const bool isPath = portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./"))
            || portName.startsWith(QLatin1String("../"));
        const QFileInfo info(isPath ? portName : QStringLiteral("/dev/") + portName);
        failure = ctl::classifyOpenError(serial.error(), serial.errorString(), info.exists(), info.isReadable(),
                                         !(mode & QIODevice::WriteOnly) || info.isWritable());
        serial.clearError();
        return false;
    }
    serial.setBaudRate(QSerialPort::Baud115200);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    frames.clear();
    return true;
}

void PortLink::close()
{
    serial.close();
    serial.clearError();
    frames.clear();
}

QString PortLink::writeAll(const QByteArray &bytes, int timeoutMs)
{
    if (serial.write(bytes) != bytes.size())
        return QStringLiteral("writing failed (%1)").arg(serial.errorString());
    const QDeadlineTimer deadline(timeoutMs);
    while (serial.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !serial.waitForBytesWritten(int(deadline.remainingTime())))
            return serial.isOpen() ? QStringLiteral("writing timed out after %1 ms").arg(timeoutMs)
                                   : QStringLiteral("the port went away while writing");
    }
    return QString();
}

void PortLink::readAvailable()
{
    const auto pieces = frames.receive(serial.readAll());
    for (const auto &piece : pieces) {
        if (!piece.skipped.isEmpty())
            emit noise(piece.skipped.size());
        laser::Reading reading;
        if (!piece.payload.isEmpty() && laser::readingFromPayload(piece.payload, reading))
            emit frame(reading);
    }
}

void PortLink::onError(QSerialPort::SerialPortError error)
{
    // Errors of a failed open are reported by open(); these come while open.
    if (!serial.isOpen() || !laser::endsLink(error))
        return;
    // Qt words a hang-up after the call that noticed it; say what it means.
    const QString reason = QStringLiteral("the port went away (%1)").arg(serial.errorString());
    close();
    emit lost(reason);
}

QString printableName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
