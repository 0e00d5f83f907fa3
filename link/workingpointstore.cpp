#include "workingpointstore.h"

#include "storedb.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <algorithm>

namespace laser {

QString workingPointKey(const QString &portName)
{
    const QFileInfo given(portName);
    const QString canonical = given.canonicalFilePath();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.serialNumber().isEmpty())
            continue;
        if (info.portName() == portName || info.systemLocation() == portName
            || (!canonical.isEmpty() && info.systemLocation() == canonical))
            return kUsbKeyPrefix + info.serialNumber();
    }
    return kPortKeyPrefix + portName;
}

QString WorkingPointStore::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("laserpanel/workingpoints.db"));
}

QString WorkingPointStore::iniPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("laserpanel/workingpoints.ini"));
}

WorkingPointStore::Loaded WorkingPointStore::load(const QString &key, const Variant &variant, WorkingPoint &out,
                                                  QDateTime *sent, QString *error) const
{
    QVector<Entry> last;
    QString why;
    if (!history(key, 1, last, &why)) {
        if (error)
            *error = why;
        return Loaded::Unusable;
    }
    if (last.isEmpty())
        return Loaded::None;
    const Entry &e = last.first();
    WorkingPoint p = e.point;
    p.kHzPerStep = variant.kHzPerStep;
    p.freqSteps = e.point.freqKHz() / variant.kHzPerStep;
    // Whatever the file says, only values the panel could have sent count.
    if (p.currentSteps < kCurrentMinSteps || p.currentSteps > kCurrentMaxSteps || p.pulseSteps < kPulseMinSteps
        || p.pulseSteps > kPulseMaxSteps || p.freqSteps < kFreqMinSteps || p.freqSteps > variant.maxSteps
        || p.freqKHz() != e.point.freqKHz() || !e.intact) {
        if (error)
            *error = QStringLiteral("the record for %1 in %2 is damaged").arg(key, file);
        return Loaded::Unusable;
    }
    out = p;
    if (sent)
        *sent = e.sent;
    return Loaded::Found;
}

bool WorkingPointStore::save(const QString &key, const WorkingPoint &p, const QDateTime &sent, const QString &sender,
                             QString *error, int waitMs) const
{
    store::Use use(file, iniPath(), waitMs);
    QString why;
    if (use.open(true, &why)) {
        if (use.insert(key, p, sent, sender, &why))
            return true;
        why = QStringLiteral("%1 cannot be written (%2)").arg(file, why);
    }
    if (error)
        *error = why;
    return false;
}

bool WorkingPointStore::history(const QString &key, int count, QVector<Entry> &out, QString *error) const
{
    out.clear();
    store::Use use(file, iniPath());
    QString why;
    if (!use.open(false, &why)) {
        if (error)
            *error = why;
        return why.isEmpty();
    }
    QSqlQuery q(use.db);
    if (!use.run(q,
                 QStringLiteral("SELECT sent, current_steps, pulse_steps, freq_steps, khz_per_step, external, sender "
                                "FROM points WHERE key = ? ORDER BY id DESC LIMIT ?"),
                 {key, count}, &why)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read (%2)").arg(file, why);
        return false;
    }
    while (q.next()) {
        Entry e;
        bool whole[5] = {};
        e.sent = QDateTime::fromString(q.value(0).toString(), Qt::ISODateWithMs);
        e.point.currentSteps = q.value(1).toInt(&whole[0]);
        e.point.pulseSteps = q.value(2).toInt(&whole[1]);
        e.point.freqSteps = q.value(3).toInt(&whole[2]);
        e.point.kHzPerStep = q.value(4).toInt(&whole[3]);
        const int external = q.value(5).toInt(&whole[4]);
        e.point.externalTrigger = external == 1;
        e.intact = e.sent.isValid() && std::all_of(whole, whole + 5, [](bool w) { return w; }) && (external == 0 || external == 1)
            && e.point.kHzPerStep > 0;
        e.sender = q.value(6).toString();
        out << e;
    }
    return true;
}

} // namespace laser
