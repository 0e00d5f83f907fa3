#pragma once

#include "workingpoint.h"

#include <QDateTime>
#include <QString>

namespace laser {

// The key a port's record goes under: the USB serial number where the system
// reports one, so the record follows the laser when /dev/ttyUSB* numbers
// change; otherwise the port name as given.
QString workingPointKey(const QString &portName);

// What the laser was last told on each port, kept across restarts so that a
// new panel or a `laserctl set` of one value does not quietly reset the
// others. One store for the panel and laserctl: an INI file in the user's
// configuration folder (laserpanel/workingpoints.ini), in operator units.
class WorkingPointStore
{
public:
    static QString defaultPath();
    explicit WorkingPointStore(const QString &path = defaultPath()) : file(path) {}

    enum class Loaded { Found, None, Unusable };
    // The point in `variant`'s steps and when it was sent (UTC). Unusable,
    // with the reason in `error`, for a store that cannot be read or a record
    // whose values are not a working point the panel could send.
    Loaded load(const QString &key, const Variant &variant, WorkingPoint &out, QDateTime *sent, QString *error) const;
    bool save(const QString &key, const WorkingPoint &point, const QDateTime &sent, QString *error) const;

private:
    QString file;
};

} // namespace laser
