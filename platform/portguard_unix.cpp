#include "portguard.h"

#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr unsigned kMemMajor = 1;         // /dev/null, /dev/zero, /dev/random...
constexpr unsigned kConsoleMajor = 4;     // minors 0-63: virtual consoles; 64 on: UARTs
constexpr unsigned kVirtualConsoles = 64;
constexpr unsigned kTtyAuxMajor = 5;      // 0 /dev/tty, 1 /dev/console, 2 /dev/ptmx

bool hasControl(const QString &name)
{
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

bool hasControl(const QByteArray &name)
{
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

// The device number of our controlling terminal, 0 when there is none.
// Field 7 of /proc/self/stat; the command name before it may hold spaces.
dev_t controllingTerminal()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return 0;
    char state = 0;
    int ppid = 0, pgrp = 0, session = 0, ttyNr = 0;
    if (std::sscanf(line.constData() + close + 1, " %c %d %d %d %d", &state, &ppid, &pgrp, &session, &ttyNr) != 5)
        return 0;
    const auto nr = static_cast<unsigned>(ttyNr);
    return makedev((nr >> 8) & 0xfffu, (nr & 0xffu) | ((nr >> 12) & 0xfff00u));
}

bool isStreamTerminal(dev_t rdev)
{
    for (int fd = 0; fd <= 2; ++fd) {
        struct stat st {};
        if (::isatty(fd) && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev)
            return true;
    }
    return false;
}
// The character devices that are no laser's line.
QString deviceRefusal(const struct stat &st)
{
    const unsigned maj = major(st.st_rdev);
    const unsigned min = minor(st.st_rdev);
    if (maj == kMemMajor)
        return QStringLiteral("not a serial device (a memory device such as /dev/null)");
    if (maj == kTtyAuxMajor && min <= 2)
        return min == 2 ? QStringLiteral("the pseudo-terminal multiplexer, not a serial device")
                        : QStringLiteral("a console terminal, not a serial device");
    if (maj == kConsoleMajor && min < kVirtualConsoles)
        return QStringLiteral("a virtual console, not a serial device");
    const dev_t own = controllingTerminal();
    if ((own != 0 && st.st_rdev == own) || isStreamTerminal(st.st_rdev))
        return QStringLiteral("this program's own terminal, not a serial device");
    return QString();
}
} // namespace

QString portRefusal(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("no port name given");
    if (hasControl(name))
        return QStringLiteral("the name contains a control character");
    // QSerialPort's own rule: a name that is not a path is a device in /dev.
    const bool isPath = name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./"))
        || name.startsWith(QLatin1String("../"));
    const QByteArray path = QFile::encodeName(isPath ? name : QLatin1String("/dev/") + name);
    if (path.contains('\0') || hasControl(path))
        return QStringLiteral("the name contains a control character");

    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return QString();   // missing or unreachable: the open says which
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("a directory, not a serial device");
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("not a serial device (not a character device)");

    return deviceRefusal(st);
}

QString handleRefusal(qintptr handle)
{
    struct stat st {};
    if (::fstat(int(handle), &st) != 0)
        return QStringLiteral("the opened port cannot be examined");
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("not a serial device (not a character device)");
    return deviceRefusal(st);
}

} // namespace platform
