#include "portlink.h"

#include "portguard.h"
#include "serialerror.h"

#include <QDeadlineTimer>
#include <QFileInfo>

namespace {
// Reads closer together than this mean a fast laser (the line carries a frame
// every 1.13 ms at most); the usual few frames a second are taken one by one.
constexpr qint64 kDenseGapMs = 3;
// How long reads are gathered at such rates: 20 ms is 18 frames at the most.
constexpr int kGatherMs = 20;
} // namespace

PortLink::PortLink(const QString &name, QObject *parent)
    : QObject(parent), portName(name)
{
    gather.setSingleShot(true);
    connect(&gather, &QTimer::timeout, this, &PortLink::gatherDue);
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
    gather.stop();
    holding = false;
    serial.setReadBufferSize(0);
    sinceRead.invalidate();
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
    if (holding) {
        // Qt's read buffer, limited to one byte, is full: the port's
        // notifier is off and the driver keeps the rest until gatherDue.
        if (!gather.isActive())
            gather.start(kGatherMs);
        return;
    }
    take(serial.readAll());
    if (sinceRead.isValid() && sinceRead.restart() < kDenseGapMs) {
        holding = true;
        serial.setReadBufferSize(1);
    } else if (!sinceRead.isValid()) {
        sinceRead.start();
    }
}

void PortLink::gatherDue()
{
    holding = false;
    // Unlimited again: Qt turns its notifier back on and reads everything the
    // driver gathered, in one readyRead that counts as a close one.
    serial.setReadBufferSize(0);
    sinceRead.start();
    take(serial.readAll());
}

void PortLink::take(const QByteArray &bytes)
{
    const auto pieces = frames.receive(bytes);
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
