// The pseudo-terminal's far end and the link to it.
#include "sim.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

namespace simprog {

bool configureLine(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// Opening and closing the far end once leaves the line raw for whoever opens
// it next and throws away anything the last reader left unread. It also puts
// our end in the hung-up state, which is how we tell that nobody is reading.
bool resetFarEnd(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = configureLine(fd);
    tcflush(fd, TCIOFLUSH);
    close(fd);
    return ok;
}

// A link is ours to replace only if it dangles: an earlier run's, whose pty is
// gone. One to a pseudo-terminal that exists belongs to a simulator still
// running; a link the user made to a file or a folder is left as it is too.
bool mayReplace(const std::string &link, const std::string &target)
{
    struct stat st{};
    if (lstat(link.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        std::fprintf(stderr, "laser-sim: --link %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    if (!S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "laser-sim: --link %s: exists and is not a symlink; not replacing it\n", link.c_str());
        return false;
    }
    struct stat to{}, ours{};
    if (stat(link.c_str(), &to) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        std::fprintf(stderr, "laser-sim: --link %s: %s; not replacing it\n", link.c_str(), std::strerror(errno));
        return false;
    }
    char dest[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), dest, sizeof dest - 1);
    const std::string pointsTo = n > 0 ? std::string(dest, static_cast<std::size_t>(n)) : "?";
    // Same driver as our own far end: another pty, in use.
    if (S_ISCHR(to.st_mode) && stat(target.c_str(), &ours) == 0 && major(to.st_rdev) == major(ours.st_rdev))
        std::fprintf(stderr, "laser-sim: --link %s: a symlink to %s, a pseudo-terminal in use (is another "
                             "laser-sim running?); not replacing it\n", link.c_str(), pointsTo.c_str());
    else
        std::fprintf(stderr, "laser-sim: --link %s: a symlink to %s, which is not a pseudo-terminal; not replacing it\n",
                     link.c_str(), pointsTo.c_str());
    return false;
}

bool makeLink(const std::string &link, const std::string &target)
{
    if (!mayReplace(link, target))
        return false;
    // A link left by an earlier run is replaced in one step.
    const std::string tmp = link + ".tmp" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "laser-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

void removeLink(const std::string &link, const std::string &target)
{
    // Only our own: another run may have taken the name over since.
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}


// Bytes the reader has not taken yet, or -1 if we cannot tell: a reader
// that holds the line exclusively keeps us from opening it (unless root).
long unread(const std::string &farEnd)
{
    const int fd = open(farEnd.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int n = -1;
    if (ioctl(fd, FIONREAD, &n) != 0)
        n = -1;
    close(fd);
    return n;
}

} // namespace simprog
