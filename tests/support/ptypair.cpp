#include "ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace {
// Qt's lock file for a serial port: LCK..pts_N in the first lock folder it
// may write to.
bool hasLockFile(const char *slaveName)
{
    QByteArray name(slaveName);
    name.replace("/dev/", "").replace('/', '_');
    for (const char *folder : {"/var/lock/", "/tmp/"})
        if (::access((folder + ("LCK.." + name)).constData(), F_OK) == 0)
            return true;
    return false;
}
} // namespace

Pty::Pty()
{
    // Qt closes a port before it removes the port's lock file, so a number
    // another process has just let go of may still be locked, and the panel
    // would find the port busy: such pairs are held aside, which gives the
    // next one another number.
    std::vector<int> aside;
    int slaveFd = -1;
    char name[128] = {};
    while (openpty(&master, &slaveFd, name, nullptr, nullptr) == 0 && aside.size() < 8 && hasLockFile(name)) {
        aside.push_back(master);
        ::close(slaveFd);
        master = slaveFd = -1;
    }
    for (int fd : aside)
        ::close(fd);
    if (slaveFd < 0) {
        master = -1;
        return;
    }
    // A child process (a program under test) must not keep the line alive
    // after closeMaster().
    fcntl(master, F_SETFD, FD_CLOEXEC);
    termios raw{};
    tcgetattr(slaveFd, &raw);
    cfmakeraw(&raw);
    tcsetattr(slaveFd, TCSANOW, &raw);
    // Closing our slave descriptor lets the panel's close/reopen behave like a
    // real device; the master alone keeps the pair alive (and is raw already).
    ::close(slaveFd);
    slave = QString::fromLocal8Bit(name);
}

void Pty::write(const QByteArray &bytes)
{
    for (qsizetype done = 0, n = 0; master >= 0 && done < bytes.size(); done += n > 0 ? n : 0) {
        n = ::write(master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            return;
    }
}

QByteArray Pty::readAvailable(int waitMs)
{
    QByteArray out;
    char buf[4096];
    pollfd p{master, POLLIN, 0};
    // While something is waiting (a hang-up reads as 0 or an error, and ends it).
    for (ssize_t n = 0; master >= 0 && poll(&p, 1, waitMs) > 0 && (n = ::read(master, buf, sizeof buf)) > 0; waitMs = 0)
        out.append(buf, static_cast<int>(n));
    return out;
}

QByteArray Pty::readAtLeast(int count, int timeoutMs)
{
    QByteArray out;
    for (QDeadlineTimer deadline(timeoutMs); out.size() < count && !deadline.hasExpired();) {
        // The panel writes from the event loop, so keep it turning.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        out += readAvailable(10);
    }
    return out;
}

void Pty::closeMaster()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
