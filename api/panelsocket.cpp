#include "panelsocket.h"

#include "portpath.h"
#include "runtimedir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace laser::panel {

namespace {
const QString kPrefix = QStringLiteral("laserpanel-");
constexpr int kHexDigits = 16;
} // namespace

QString socketFileName(const QString &port)
{
    const QFileInfo info(portPath(port));
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
    return kPrefix + QString::fromLatin1(hash.left(kHexDigits));
}

QString socketName(const QString &port, QString *error, bool serving)
{
    QString why;
    const QString dir = platform::privateRuntimeDir(serving, &why);
    if (error)
        *error = why;
    if (dir.isEmpty())
        return why.isEmpty() ? socketFileName(port) : QString();
    return dir + QLatin1Char('/') + socketFileName(port);
}

QStringList socketNames(QString *error)
{
    const QString dir = platform::privateRuntimeDir(false, error);
    QStringList names;
    if (dir.isEmpty())
        return names;
    const QStringList files = QDir(dir).entryList({kPrefix + QLatin1Char('*')}, QDir::System | QDir::Files, QDir::Name);
    for (const QString &file : files)
        if (file.size() == kPrefix.size() + kHexDigits)
            names << dir + QLatin1Char('/') + file;
    return names;
}

} // namespace laser::panel
