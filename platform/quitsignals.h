#pragma once

class QCoreApplication;

namespace platform {

// Makes the stop signals (SIGINT, SIGTERM, SIGHUP) end the application's
// event loops with app.quit(), so the program unwinds and exits 0 instead of
// dying mid-write. They are caught even when the parent left them ignored (a
// background job's SIGINT), so they always stop the program. A stop signal that
// comes while an earlier one still waits for the event loop kills the
// process the default way, so a stuck program can always be stopped.
// Call once, after the application object exists. False when the signals
// could not be caught; they then keep their default action.
bool quitOnSignals(QCoreApplication &app);

} // namespace platform
