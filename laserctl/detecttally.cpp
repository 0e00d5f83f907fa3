#include "ctl.h"


namespace ctl {

using laser::words::twoDecimals;
using laser::words::trigger;

double frameRate(const Tally &t)
{
    if (t.frames >= 2 && t.lastMs > t.firstMs)
        return (t.frames - 1) * 1000.0 / double(t.lastMs - t.firstMs);
    if (t.frames >= 1 && t.listenedMs > 0)
        return t.frames * 1000.0 / double(t.listenedMs);
    return 0.0;
}

bool isLaser(const Tally &t)
{
    // Noise passes for a frame only by matching 4 fixed bytes 13 apart.
    return t.frames > 0;
}

QString detectLine(const QString &port, const Tally &t)
{
    const QString seconds = QString::number(t.listenedMs / 1000.0, 'f', 1);
    const QString noise = t.skippedBytes > 0 ? QStringLiteral(", %1 bytes of noise").arg(t.skippedBytes) : QString();
    if (isLaser(t))
        return QStringLiteral("%1  laser: %2 frames/s (%3 %4 in %5 s%6)")
            .arg(port, QString::number(frameRate(t), 'f', 1))
            .arg(t.frames)
            .arg(t.frames == 1 ? QStringLiteral("frame") : QStringLiteral("frames"), seconds, noise);
    if (t.skippedBytes > 0)
        return QStringLiteral("%1  no laser: %2 bytes in %3 s, none of them a status frame")
            .arg(port)
            .arg(t.skippedBytes)
            .arg(seconds);
    return QStringLiteral("%1  no laser: silent for %2 s").arg(port, seconds);
}

} // namespace ctl
