// The INI file of earlier versions, taken into the database once.
#include "storedb.h"

#include "firmware.h"
#include "recordfile.h"
#include "words.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <cmath>

namespace laser::store {

namespace {
const QString kImported = QStringLiteral("imported workingpoints.ini");

// The file's record of one port in steps of the finest variant that holds its
// frequency; false for one the panel could not have written.
bool pointOf(QSettings &ini, WorkingPoint &out, QDateTime &sent)
{
    bool ok[3] = {};
    const double current = ini.value(QStringLiteral("current_A")).toString().toDouble(&ok[0]);
    const double pulse = ini.value(QStringLiteral("pulse_ns")).toString().toDouble(&ok[1]);
    const double freq = ini.value(QStringLiteral("freq_kHz")).toString().toDouble(&ok[2]);
    const QString trigger = ini.value(QStringLiteral("trigger")).toString();
    sent = QDateTime::fromString(ini.value(QStringLiteral("sent")).toString(), Qt::ISODateWithMs);
    if (!ok[0] || !ok[1] || !ok[2] || !std::isfinite(current) || !std::isfinite(pulse) || !sent.isValid()
        || (trigger != words::trigger(false) && trigger != words::trigger(true)))
        return false;
    for (const Variant &v : kVariants) {
        out = pointFromUnits(trigger == words::trigger(true), current, pulse, freq, v.kHzPerStep);
        if (out.freqSteps >= 0 && out.freqKHz() == freq)
            return out.currentSteps >= 0 && out.pulseSteps >= 0;
    }
    return false;
}
} // namespace

bool Use::importIni(QString *why)
{
    QSqlQuery q(db);
    bool already = false;
    auto check = [&] {
        const bool read = run(q, QStringLiteral("SELECT 1 FROM meta WHERE name = ?"), {kImported}, why);
        already = read && q.next();
        q.finish();
        return read;
    };
    // Looked at before the write lock too: a lock held elsewhere must not
    // keep the panel from reading its working point.
    if (!check() || already)
        return already;
    if (!run(q, QStringLiteral("BEGIN IMMEDIATE"), {}, why))
        return false;
    bool done = check();
    // A FIFO in its place would hold QSettings for good.
    if (done && !already && QFileInfo::exists(iniPath) && platform::notRegularFile(iniPath).isEmpty()) {
        QSettings ini(iniPath, QSettings::IniFormat);
        for (const QString &group : ini.childGroups()) {
            ini.beginGroup(group);
            WorkingPoint p;
            QDateTime sent;
            if (pointOf(ini, p, sent))
                done = done && insert(QUrl::fromPercentEncoding(group.toLatin1()), p, sent, QStringLiteral("workingpoints.ini"), why);
            ini.endGroup();
        }
    }
    if (done && !already)
        done = run(q, QStringLiteral("INSERT INTO meta (name, value) VALUES (?, ?)"),
                   {kImported, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}, why);
    if (done && run(q, QStringLiteral("COMMIT"), {}, why))
        return true;
    run(q, QStringLiteral("ROLLBACK"));
    return false;
}

} // namespace laser::store
