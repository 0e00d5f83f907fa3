#pragma once

namespace platform {

// Fixes the local time zone for the life of the process. Without TZ, the C
// library looks at the zone file again on every local-time conversion (a
// stat per timestamp); with TZ naming that file it reads it once. A TZ the
// user set is left alone. Call before any thread starts.
void pinTimeZone();

} // namespace platform
