// Standard output that never holds up the loop.
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
#include <poll.h>
#include <sys/stat.h>

namespace simprog {

void LineOutput::open()
{
    // A pipe or a terminal gets a description of its own, so it can be
    // non-blocking without changing the one the shell and others share. A
    // file never blocks; anything else is asked with poll before each write.
    struct stat st{};
    if (fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        const int own = ::open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (own >= 0)
            fd = own;
    }
}

void LineOutput::noteDrops(bool force)
{
    if (droppedSinceNote && (force || lines.size() < maxLines)) {
        lines.push_back("dropped " + std::to_string(droppedSinceNote) + " lines of output\n");
        droppedSinceNote = 0;
    }
}

void LineOutput::say(std::string line)
{
    // Room for the line and, first, the note of what went missing before it.
    if (dead || lines.size() + (droppedSinceNote ? 2 : 1) > maxLines) {
        ++droppedSinceNote;
        ++droppedTotal;
        return;
    }
    noteDrops(false);
    lines.push_back(std::move(line) + '\n');
}

void LineOutput::sayLast(std::string line)
{
    if (dead) {
        ++droppedTotal;
        return;
    }
    noteDrops(true);
    lines.push_back(std::move(line) + '\n');
}

void LineOutput::stop()
{
    // Nobody will read: the rest is lost.
    droppedTotal += static_cast<long>(lines.size());
    lines.clear();
    dead = true;
}

void LineOutput::flush()
{
    while (!dead && !lines.empty()) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 0) <= 0)
            return;
        if (p.revents & (POLLERR | POLLNVAL))
            return stop();
        // One pipe buffer's worth at most: a pipe takes that much whole.
        std::string chunk = lines.front().substr(offset);
        for (std::size_t i = 1; i < lines.size() && chunk.size() + lines[i].size() <= PIPE_BUF; ++i)
            chunk += lines[i];
        const ssize_t n = write(fd, chunk.data(), std::min<std::size_t>(chunk.size(), PIPE_BUF));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Writable by poll but refusing: a hung-up line would say so forever.
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && !(p.revents & POLLHUP))
                return;
            return stop();
        }
        for (std::size_t left = static_cast<std::size_t>(n); left;) {
            const std::size_t part = std::min(left, lines.front().size() - offset);
            left -= part;
            offset += part;
            if (offset == lines.front().size()) {
                lines.pop_front();
                offset = 0;
            }
        }
        noteDrops(false);
    }
}

void LineOutput::drain(Clock::duration limit)
{
    // A stop signal ends the wait at once.
    const Clock::time_point until = Clock::now() + limit;
    for (;;) {
        flush();
        const Clock::time_point now = Clock::now();
        if (waitFd() < 0 || now >= until || stopSignal)
            break;
        pollfd p{fd, POLLOUT, 0};
        waitFor(&p, 1, until - now);
    }
    if (waitFd() >= 0)
        stop();
}

LineOutput output;

void say(const std::string &line)
{
    output.say(line);
}

} // namespace simprog
