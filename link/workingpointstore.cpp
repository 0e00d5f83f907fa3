#include "workingpointstore.h"

#include "words.h"

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

WorkingPointStore::Loaded WorkingPointStore::load(const QString &key, const Variant &variant, WorkingPoint &out,
                                                  QDateTime *sent, QString *error) const
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
    double current = 0, pulse = 0, freq = 0;
    const QString trigger = settings.value(QStringLiteral("trigger")).toString();
    const QDateTime when = QDateTime::fromString(settings.value(QStringLiteral("sent")).toString(), Qt::ISODateWithMs);
    const bool read = number(settings.value(QStringLiteral("current_A")), current)
        && number(settings.value(QStringLiteral("pulse_ns")), pulse) && number(settings.value(QStringLiteral("freq_kHz")), freq)
        && (trigger == words::trigger(false) || trigger == words::trigger(true)) && when.isValid();
    const WorkingPoint p = pointFromUnits(trigger == words::trigger(true), current, pulse, freq, variant.kHzPerStep);
    // Whatever the file says, only values the panel could have sent count.
    if (!read || p.currentSteps < kCurrentMinSteps || p.currentSteps > kCurrentMaxSteps || p.pulseSteps < kPulseMinSteps
        || p.pulseSteps > kPulseMaxSteps || p.freqSteps < kFreqMinSteps || p.freqSteps > variant.maxSteps
        || p.freqKHz() != freq)
        return unusable(QStringLiteral("the record for %1 in %2 is damaged").arg(key, file));
    out = p;
    if (sent)
        *sent = when;
    return Loaded::Found;
}

bool WorkingPointStore::save(const QString &key, const WorkingPoint &p, const QDateTime &sent, QString *error) const
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(group(key));
    settings.setValue(QStringLiteral("current_A"), words::twoDecimals(p.currentA()));
    settings.setValue(QStringLiteral("pulse_ns"), words::twoDecimals(p.pulseNs()));
    settings.setValue(QStringLiteral("freq_kHz"), p.freqKHz());
    settings.setValue(QStringLiteral("trigger"), words::trigger(p.externalTrigger));
    settings.setValue(QStringLiteral("sent"), sent.toUTC().toString(Qt::ISODateWithMs));
    settings.endGroup();
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    if (error)
        *error = QStringLiteral("%1 cannot be written").arg(file);
    return false;
}

} // namespace laser
