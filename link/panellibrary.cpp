#include "panellibrary.h"

#include <QCoreApplication>
#include <QLibrary>

namespace laser {

QFunctionPointer panelLibraryEntry(const char *library, const char *entry, QString *why)
{
    const QString here = QCoreApplication::applicationDirPath(), name = QString::fromLatin1(library);
    QStringList failures;
    for (const QString &path : {here + QLatin1Char('/') + name,
                                here + QLatin1String("/" LASERPANEL_LIBRARY_DIR "/") + name, name}) {
        QLibrary candidate(path);
        if (const QFunctionPointer found = candidate.resolve(entry))
            return found;
        failures << candidate.errorString();
    }
    if (why)
        *why = failures.join(QLatin1String("; "));
    return nullptr;
}

} // namespace laser
