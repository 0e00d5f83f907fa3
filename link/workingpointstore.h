#pragma once

#include "storedb.h"
#include "workingpoint.h"

#include <QDateTime>
#include <QString>
#include <QVector>

namespace laser {

// A key's two kinds: a USB serial number, or the port's name as given.
inline const QString kUsbKeyPrefix = QStringLiteral("usb:");
inline const QString kPortKeyPrefix = QStringLiteral("port:");
// The key a port's record goes under: the USB serial number where the system
// reports one, so the record follows the laser when /dev/ttyUSB* numbers
// change; otherwise the port name as given.
QString workingPointKey(const QString &portName);

// What the laser was told on each port, kept across restarts so that a new
// panel or a `laserctl set` of one value does not quietly reset the others.
// One SQLite database for the panel and laserctl, in the user's data folder
// (laserpanel/workingpoints.db): a row for each command sent, the last row of
// a key its working point. A store that cannot be used costs at most
// store::kWaitMs of waiting, and says why.
class WorkingPointStore
{
public:
    static QString defaultPath();
    // Where earlier versions kept the points; taken in once.
    static QString iniPath();
    explicit WorkingPointStore(const QString &path = defaultPath()) : file(path) {}

    struct Entry {
        WorkingPoint point;   // in the steps it was sent in
        QDateTime sent;       // UTC
        QString sender;       // panel, laserctl, or script <pid>
        bool intact = false;  // every value of the row read as what it stands for
    };

    enum class Loaded { Found, None, Unusable };
    // The point in `variant`'s steps and when it was sent (UTC). Unusable,
    // with the reason in `error`, for a store that cannot be read or a record
    // whose values are not a working point the panel could send.
    Loaded load(const QString &key, const Variant &variant, WorkingPoint &out, QDateTime *sent, QString *error) const;
    // `waitMs`: how long another program's lock is waited for.
    bool save(const QString &key, const WorkingPoint &point, const QDateTime &sent, const QString &sender,
              QString *error, int waitMs = store::kWaitMs) const;
    // The last `count` commands sent under `key`, newest first.
    bool history(const QString &key, int count, QVector<Entry> &out, QString *error) const;

private:
    QString file;
};

} // namespace laser
