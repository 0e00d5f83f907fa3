#pragma once

#include <QFile>
#include <QString>

namespace platform {

// Opens `file` (its name already set) empty for writing, unbuffered, as a
// recording target. Only a regular file is taken: a FIFO without a reader
// would block the open, and a device or socket is no recording. Never blocks.
// False with the reason in `error` otherwise.
bool openRecordingFile(QFile &file, QString *error);

} // namespace platform
