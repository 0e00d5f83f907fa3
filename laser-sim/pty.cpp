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

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
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

bool holdFarEnd(const char *path, FarEnd &farEnd)
{
    farEnd.path = path;
    farEnd.fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (farEnd.fd < 0 || !configureLine(farEnd.fd)) {
        std::fprintf(stderr, "laser-sim: cannot open the far end %s: %s\n", path, std::strerror(errno));
        return false;
    }
    // Our own open came first, so every event is a client's.
    farEnd.watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (farEnd.watch < 0 || inotify_add_watch(farEnd.watch, path, IN_OPEN | IN_CLOSE) < 0) {
        std::fprintf(stderr, "laser-sim: cannot watch %s: %s\n", path, std::strerror(errno));
        return false;
    }
    return true;
}

void resetFarEnd(const FarEnd &farEnd)
{
    ioctl(farEnd.fd, TIOCNXCL);
    configureLine(farEnd.fd);
    // What went out to a client that is gone; its commands stay to be read.
    tcflush(farEnd.fd, TCIFLUSH);
}

std::vector<int> clientChanges(const FarEnd &farEnd)
{
    std::vector<int> changes;
    alignas(inotify_event) char buf[4096];
    ssize_t n;
    while ((n = read(farEnd.watch, buf, sizeof buf)) > 0)
        for (const char *p = buf; p < buf + n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(p);
            if (e->mask & (IN_OPEN | IN_CLOSE))
                changes.push_back(e->mask & IN_OPEN ? 1 : -1);
            p += sizeof(inotify_event) + e->len;
        }
    return changes;
}

long unread(const FarEnd &farEnd)
{
    int n = -1;
    return ioctl(farEnd.fd, FIONREAD, &n) == 0 ? n : -1;
}

// Process `dir` (/proc/PID) is a laser-sim.
bool isSimulator(const std::string &dir)
{
    char comm[32] = {};
    std::FILE *f = std::fopen((dir + "/comm").c_str(), "r");
    const bool sim = f && std::fgets(comm, sizeof comm, f) && std::strcmp(comm, "laser-sim\n") == 0;
    if (f)
        std::fclose(f);
    return sim;
}

// Process `dir` (/proc/PID) has `device` open.
bool holds(const std::string &dir, dev_t device)
{
    DIR *fds = opendir((dir + "/fd").c_str());
    bool found = false;
    while (const dirent *e = fds && !found ? readdir(fds) : nullptr) {
        struct stat st{};
        found = stat((dir + "/fd/" + e->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device;
    }
    if (fds)
        closedir(fds);
    return found;
}

// Another laser-sim that holds `device` open, the far end it plays on; 0 if none.
long simulatorHolding(dev_t device)
{
    DIR *proc = opendir("/proc");
    long found = 0;
    while (const dirent *e = proc && !found ? readdir(proc) : nullptr) {
        char *end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        const std::string dir = std::string("/proc/") + e->d_name;
        if (pid > 0 && !*end && pid != getpid() && isSimulator(dir) && holds(dir, device))
            found = pid;
    }
    if (proc)
        closedir(proc);
    return found;
}

// A link is ours to replace if it dangles, or leads to a pseudo-terminal no
// other laser-sim plays on: an earlier run's, killed, whose number came round
// again, perhaps to this run. A link the user made to a file or a folder is
// left as it is.
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
    const bool pty = S_ISCHR(to.st_mode) && stat(target.c_str(), &ours) == 0 && major(to.st_rdev) == major(ours.st_rdev);
    if (!pty) {
        std::fprintf(stderr, "laser-sim: --link %s: a symlink to %s, which is not a pseudo-terminal; not replacing it\n",
                     link.c_str(), pointsTo.c_str());
        return false;
    }
    if (const long pid = simulatorHolding(to.st_rdev)) {
        std::fprintf(stderr, "laser-sim: --link %s: a symlink to %s, where laser-sim (process %ld) is running; not "
                             "replacing it\n", link.c_str(), pointsTo.c_str(), pid);
        return false;
    }
    return true;
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

} // namespace simprog
