#include "quitsignals.h"

namespace platform {

// Windows has no stop signals to catch here; Ctrl-C ends the process.
bool quitOnSignals(QCoreApplication &)
{
    return false;
}

} // namespace platform
