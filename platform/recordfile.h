#pragma once

#include <QFile>
#include <QString>

namespace platform {

// Opens `file` (its name already set) empty for writing, unbuffered, as a
// recording target. Only a regular file is taken: a FIFO without a reader
// would block the open, and a device or socket is no recording. Never blocks.
// False with the reason in `error` otherwise.
bool openRecordingFile(QFile &file, QString *error);

// Why `path` is no file to keep records in: "not a regular file (a FIFO)" and
// the like, or empty for a regular file or none at all. Never opens it.
QString notRegularFile(const QString &path);

} // namespace platform
