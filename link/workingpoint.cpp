#include "workingpoint.h"

#include "firmware.h"
#include "setpoint.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <cmath>

namespace laser {

namespace {
// QSettings reads '/' and '\' in a key as groups.
QString group(const QString &key)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(key));
}

bool number(const QVariant &value, double &out)
{
    bool ok = false;
    out = value.toString().toDouble(&ok);
    return ok && std::isfinite(out);
}
} // namespace

QString workingPointKey(const QString &portName)
{
    const QFileInfo given(portName);
    const QString canonical = given.canonicalFilePath();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.serialNumber().isEmpty())
            continue;
        if (info.portName() == portName || info.systemLocation() == portName
            || (!canonical.isEmpty() && info.systemLocation() == canonical))
            return QStringLiteral("usb:") + info.serialNumber();
    }
    return QStringLiteral("port:") + portName;
}

QString WorkingPointStore::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("laserpanel/workingpoints.ini"));
}

WorkingPointStore::Loaded WorkingPointStore::load(const QString &key, WorkingPoint &out, QString *error) const
{
    auto unusable = [error](const QString &why) {
        if (error)
            *error = why;
        return Loaded::Unusable;
    };
    const QFileInfo info(file);
    if (!info.exists())
        return Loaded::None;
    if (!info.isReadable())
        return unusable(QStringLiteral("%1 cannot be read").arg(file));
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return unusable(QStringLiteral("%1 is not a settings file").arg(file));
    settings.beginGroup(group(key));
    if (settings.childKeys().isEmpty())
        return Loaded::None;
    WorkingPoint p;
    double freq = 0;
    const QString trigger = settings.value(QStringLiteral("trigger")).toString();
    p.sent = QDateTime::fromString(settings.value(QStringLiteral("sent")).toString(), Qt::ISODateWithMs);
    // Whatever the file says, only values the panel could have sent count.
    if (!number(settings.value(QStringLiteral("current_A")), p.currentA)
        || !number(settings.value(QStringLiteral("pulse_ns")), p.pulseNs) || !number(settings.value(QStringLiteral("freq_kHz")), freq)
        || (trigger != QLatin1String("internal") && trigger != QLatin1String("external")) || !p.sent.isValid()
        || p.currentA < kCurrentMinSteps / setpoint::kCurrentStepsPerAmp - 1e-9
        || p.currentA > kCurrentMaxSteps / setpoint::kCurrentStepsPerAmp + 1e-9
        || p.pulseNs < kPulseMinSteps / setpoint::kPulseStepsPerNs - 1e-9
        || p.pulseNs > kPulseMaxSteps / setpoint::kPulseStepsPerNs + 1e-9 || freq < 1 || freq > 1000
        || freq != std::floor(freq))
        return unusable(QStringLiteral("the record for %1 in %2 is damaged").arg(key, file));
    p.freqKHz = int(freq);
    p.externalTrigger = trigger == QLatin1String("external");
    out = p;
    return Loaded::Found;
}

bool WorkingPointStore::save(const QString &key, const WorkingPoint &p, QString *error) const
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(group(key));
    settings.setValue(QStringLiteral("current_A"), QString::number(p.currentA, 'f', 2));
    settings.setValue(QStringLiteral("pulse_ns"), QString::number(p.pulseNs, 'f', 2));
    settings.setValue(QStringLiteral("freq_kHz"), p.freqKHz);
    settings.setValue(QStringLiteral("trigger"), p.externalTrigger ? QStringLiteral("external") : QStringLiteral("internal"));
    settings.setValue(QStringLiteral("sent"), p.sent.toUTC().toString(Qt::ISODateWithMs));
    settings.endGroup();
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    if (error)
        *error = QStringLiteral("%1 cannot be written").arg(file);
    return false;
}

} // namespace laser
