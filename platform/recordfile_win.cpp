#include "recordfile.h"

#include <QFileInfo>

namespace platform {

QString notRegularFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile() ? QStringLiteral("not a regular file") : QString();
}

bool openRecordingFile(QFile &file, QString *error)
{
    const QString refusal = notRegularFile(file.fileName());
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
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
