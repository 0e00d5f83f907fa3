#include "recordfile.h"

#include <QFileInfo>

namespace platform {

bool openRecordingFile(QFile &file, QString *error)
{
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("not a regular file");
        return false;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace platform
