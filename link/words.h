#pragma once

#include <QByteArray>
#include <QString>

// The words and number formats that the record, the link log and laserctl
// share, so that a column or a JSON field reads the same everywhere.
namespace laser::words {

inline QString trigger(bool external)
{
    return external ? QStringLiteral("external") : QStringLiteral("internal");
}
inline QString pumpSupply(bool normal)
{
    return normal ? QStringLiteral("normal") : QStringLiteral("fault");
}
inline QString tec(bool locked)
{
    return locked ? QStringLiteral("locked") : QStringLiteral("unlocked");
}
// Amperes and nanoseconds: two decimals.
inline QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2);
}
// Seconds to a tenth, for ages and waits.
inline QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1);
}
// "A5 5A 00 …": the bytes of a frame as the link log and laserctl show them.
inline QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace laser::words
