#include "timezone.h"

#include <QByteArray>

namespace platform {

void pinTimeZone()
{
    // ':' names a zone file; the same one the C library reads when TZ is unset.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
}

} // namespace platform
