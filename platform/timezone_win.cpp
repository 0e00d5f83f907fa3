#include "timezone.h"

namespace platform {

// Windows reads the zone from the registry once; nothing to pin.
void pinTimeZone()
{
}

} // namespace platform
