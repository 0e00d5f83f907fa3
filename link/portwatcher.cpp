#include "portwatcher.h"

#include "portpath.h"
#include "workingpointstore.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace laser {

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
    if (key.startsWith(kUsbKeyPrefix)) {
        const QString serial = key.mid(kUsbKeyPrefix.size());
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            if (info.serialNumber() == serial)
                return info.systemLocation();
        return QString();
    }
    const QString name = key.mid(kPortKeyPrefix.size());
    return QFileInfo::exists(portPath(name)) ? name : QString();
}

QString PortWatcher::describe(const QString &key)
{
    return key.startsWith(kUsbKeyPrefix)
        ? QStringLiteral("the device with USB serial number %1").arg(key.mid(kUsbKeyPrefix.size()))
        : key.mid(kPortKeyPrefix.size());
}

} // namespace laser
