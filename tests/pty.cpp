#include "pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    char name[128] = {};
    if (openpty(&master, &slaveKeeper, name, nullptr, nullptr) != 0) {
        master = -1;
        return;
    }
    termios raw{};
    tcgetattr(slaveKeeper, &raw);
    cfmakeraw(&raw);
    tcsetattr(slaveKeeper, TCSANOW, &raw);
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    slave = QString::fromLocal8Bit(name);
    // Closing our slave descriptor lets the panel's close/reopen behave like a
    // real device; the master alone keeps the pair alive.
    ::close(slaveKeeper);
    slaveKeeper = -1;
}

Pty::~Pty()
{
    closeMaster();
}

void Pty::write(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0 && master >= 0) {
        const ssize_t n = ::write(master, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd p{master, POLLOUT, 0};
                poll(&p, 1, 100);
                continue;
            }
            return;
        }
        data += n;
        left -= n;
    }
}

QByteArray Pty::readAvailable()
{
    QByteArray out;
    char buf[4096];
    while (master >= 0) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, static_cast<int>(n));
    }
    return out;
}

QByteArray Pty::readAtLeast(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && clock.elapsed() < timeoutMs) {
        // The panel writes from the event loop, so keep it turning.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) > 0)
            out.append(readAvailable());
    }
    return out;
}

void Pty::closeMaster()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
