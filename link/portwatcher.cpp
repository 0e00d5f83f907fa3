#include "portwatcher.h"

#include "portpath.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace laser {

namespace {
const QString kUsb = QStringLiteral("usb:");
const QString kPort = QStringLiteral("port:");
} // namespace

PortWatcher::PortWatcher(QObject *parent) : QObject(parent)
{
    timer.setInterval(kIntervalMs);
    connect(&timer, &QTimer::timeout, this, [this] {
        const QString port = find(watched);
        if (!port.isEmpty())
            emit back(port);
    });
}

void PortWatcher::watch(const QString &key)
{
    watched = key;
    timer.start();
}

QString PortWatcher::find(const QString &key)
{
    if (key.startsWith(kUsb)) {
        const QString serial = key.mid(kUsb.size());
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            if (info.serialNumber() == serial)
                return info.systemLocation();
        return QString();
    }
    const QString name = key.mid(kPort.size());
    return QFileInfo::exists(portPath(name)) ? name : QString();
}

QString PortWatcher::describe(const QString &key)
{
    return key.startsWith(kUsb) ? QStringLiteral("the device with USB serial number %1").arg(key.mid(kUsb.size()))
                                : key.mid(kPort.size());
}

} // namespace laser
