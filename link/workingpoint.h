#pragma once

#include <QDateTime>
#include <QString>

namespace laser {

// What the laser was last told on a port, kept across restarts so that a new
// panel or a `laserctl set` of one value does not quietly reset the others.
struct WorkingPoint {
    double currentA = 0.0;
    double pulseNs = 0.0;
    int freqKHz = 0;
    bool externalTrigger = false;
    QDateTime sent;   // UTC
};

// The key a port's record goes under: the USB serial number where the system
// reports one, so the record follows the laser when /dev/ttyUSB* numbers
// change; otherwise the port name as given.
QString workingPointKey(const QString &portName);

// One store for the panel and laserctl: an INI file in the user's
// configuration folder (laserpanel/workingpoints.ini).
class WorkingPointStore
{
public:
    static QString defaultPath();
    explicit WorkingPointStore(const QString &path = defaultPath()) : file(path) {}

    enum class Loaded { Found, None, Unusable };
    // Unusable, with the reason in `error`, for a store that cannot be read or
    // a record whose values are not a working point.
    Loaded load(const QString &key, WorkingPoint &out, QString *error) const;
    bool save(const QString &key, const WorkingPoint &point, QString *error) const;

private:
    QString file;
};

} // namespace laser
