#include "runtimedir.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
QString refuse(QString *error, const QString &path, const QString &why)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return QString();
}

// Owner and mode as the socket's safety needs them; exact: 0700 or a subset.
QString checked(const QString &path, bool exactMode, QString *error)
{
    struct stat st {};
    // lstat: a link in a shared folder could lead anywhere.
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return refuse(error, path, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(st.st_mode))
        return refuse(error, path, QStringLiteral("not a folder"));
    if (st.st_uid != ::geteuid())
        return refuse(error, path, QStringLiteral("owned by another user"));
    const mode_t mode = st.st_mode & 07777;
    if (exactMode ? mode != 0700 : (mode & 077) != 0)
        return refuse(error, path, QStringLiteral("mode %1, not 0700").arg(mode, 4, 8, QLatin1Char('0')));
    return path;
}
} // namespace

QString privateRuntimeDir(bool create, QString *error)
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty())
        return checked(QDir::cleanPath(xdg), false, error);
    const QString path = QDir::tempPath() + QStringLiteral("/laserpanel-%1").arg(::geteuid());
    if (create && ::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return refuse(error, path, QString::fromLocal8Bit(std::strerror(errno)));
    return checked(path, true, error);
}

} // namespace platform
