#include "portguard.h"

namespace platform {

// COM port names are not files to look at; the open itself tells what is wrong.
QString portRefusal(const QString &)
{
    return QString();
}

QString handleRefusal(qintptr)
{
    return QString();
}

} // namespace platform
