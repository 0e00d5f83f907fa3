#include "recordfile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

QString notRegular(mode_t mode)
{
    return QStringLiteral("not a regular file (%1)").arg(kindOf(mode));
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

QString notRegularFile(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    return notRegular(st.st_mode);
}

bool openRecordingFile(QFile &file, QString *error)
{
    // A file-size limit would otherwise kill the program at the write that
    // passes it; ignored, the write fails with EFBIG and the recording ends
    // with that reason.
    std::signal(SIGXFSZ, SIG_IGN);

    const QString refusal = notRegularFile(file.fileName());
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    const QByteArray path = QFile::encodeName(file.fileName());
    struct stat st {};
    // O_NONBLOCK: should the name turn into a FIFO after the check, the open
    // fails (ENXIO) or returns at once instead of waiting for a reader.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        if (error)
            *error = systemError(errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString reason = S_ISREG(st.st_mode) ? systemError(errno) : notRegular(st.st_mode);
        ::close(fd);
        if (error)
            *error = reason;
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (::ftruncate(fd, 0) != 0 || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const QString reason = systemError(errno);
        ::close(fd);
        if (error)
            *error = reason;
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace platform
