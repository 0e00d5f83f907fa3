#include "portpath.h"

namespace laser {

QString portPath(const QString &name)
{
    const bool isPath = name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./"))
        || name.startsWith(QLatin1String("../"));
    return isPath ? name : QStringLiteral("/dev/") + name;
}

} // namespace laser
