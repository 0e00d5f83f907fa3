#include "runtimedir.h"

namespace platform {

// Named pipes live in a namespace of their own, not in a folder.
QString privateRuntimeDir(bool, QString *error)
{
    if (error)
        error->clear();
    return QString();
}

} // namespace platform
