// laser-sim: a simulated laser on a pseudo-terminal, for running the panel
// without hardware and for soak tests of its receive path.

#include "simlaser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <getopt.h>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// 115200 baud, 10 bits a byte on the wire.
constexpr double lineBytesPerSecond = 11520.0;
// Past this much unwritten output the reader is not keeping up; frames are
// skipped rather than queued without bound.
constexpr std::size_t backlogLimit = 4096;
// While nobody has the line open, how often to look again.
constexpr auto attachPoll = std::chrono::milliseconds(20);
// A command left incomplete this long is given up on.
constexpr auto commandIdle = std::chrono::seconds(1);
// At exit, how long the reader of our output gets to take the last lines.
constexpr auto exitDrain = std::chrono::milliseconds(250);
// With --count, how long the panel gets to read the last frames, and how
// often we look whether it has.
constexpr auto lastFramesWait = std::chrono::seconds(1);
constexpr auto lastFramesPoll = std::chrono::milliseconds(2);
// Reads of commands in one turn of the loop, so a flood cannot hold it.
constexpr int readsPerTurn = 16;

volatile std::sig_atomic_t stopSignal = 0;
extern "C" void onStopSignal(int sig) { stopSignal = sig; }

// The mask to wait with: the stop signals are caught for the whole run and
// let through only while waiting, so none is lost between a check and the wait.
sigset_t waitMask;

void catchStopSignals()
{
    struct sigaction sa{};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigset_t stops;
    sigemptyset(&stops);
    sigprocmask(SIG_SETMASK, nullptr, &waitMask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(sig, &sa, nullptr);
        sigaddset(&stops, sig);
        sigdelset(&waitMask, sig);
    }
    sigprocmask(SIG_BLOCK, &stops, nullptr);
}

// ppoll that a stop signal interrupts.
int waitFor(pollfd *fds, nfds_t n, Clock::duration wait)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(Clock::duration::zero(), wait)).count();
    const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    return ppoll(fds, n, &ts, &waitMask);
}

struct Options {
    std::string link = "/tmp/laserpanel-sim";
    double rate = 5.0;
    sim::Variant variant = sim::Variant::v13;
    double temp = 25.0;
    double ramp = 1.0;
    double tau = 2.0;
    bool split = false;
    bool garbage = false;
    int burst = 1;
    double hangupAfter = -1;
    unsigned long seed = 0;
    bool seeded = false;
    long count = -1;
    unsigned faults = 0;
    std::string faultsFile;
};

// Standard output, written only as fast as its reader takes it: a reader that
// stops (a paused pager) costs lines, never the loop, the status frames or the
// stop signals.
class LineOutput {
public:
    void open();
    // Queued; dropped, and counted, while the queue is full.
    void say(std::string line);
    // Queued even when full: the closing lines.
    void sayLast(std::string line);
    // Writes what the reader takes now, without waiting.
    void flush();
    // At exit: waits up to limit for the reader to take the rest.
    void drain(Clock::duration limit);
    int waitFd() const { return dead || lines.empty() ? -1 : fd; }
    long dropped() const { return droppedTotal; }

private:
    static constexpr std::size_t maxLines = 1000;
    void noteDrops(bool force);
    void stop();

    int fd = STDOUT_FILENO;
    std::deque<std::string> lines; // each ends in '\n'
    std::size_t offset = 0;        // of the first line, already written
    long droppedSinceNote = 0, droppedTotal = 0;
    bool dead = false;
};

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

void usage(std::FILE *to)
{
    std::fputs(
        "usage: laser-sim [options]\n"
        "A simulated laser on a pseudo-terminal. Prints 'port: /dev/pts/N' and\n"
        "'link: PATH'; open either one from the panel.\n"
        "\n"
        "  --link PATH          symlink to the port (default /tmp/laserpanel-sim); an\n"
        "                       existing one is replaced only if it dangles (a link\n"
        "                       to a live pseudo-terminal is a running simulator's)\n"
        "  --rate HZ            status frames per second (default 5, at most what\n"
        "                       115200 8N1 carries: 886/s divided by --burst)\n"
        "  --variant v1.3|v1.2  frequency step of the commands, 10 or 100 kHz\n"
        "                       (default v1.3)\n"
        "  --temp C             pump temperature set point (default 25, ambient 22)\n"
        "  --ramp A_PER_S       pump current slew rate (default 1)\n"
        "  --tau S              pump temperature time constant (default 2)\n"
        "  --split              write each frame in 2 to 4 pieces, 1-5 ms apart\n"
        "  --garbage            random noise between frames (never a frame header)\n"
        "  --burst N            N frames back to back in one write each period\n"
        "  --hangup-after S     after S seconds print 'hangup', close the line, exit\n"
        "  --seed N             seed for --split and --garbage\n"
        "  --count N            exit once the reader has the N-th frame\n"
        "  --fault NAME         raise a laser fault for the whole run (repeatable):\n"
        "                       pump  pump supply not normal (bit cleared)\n"
        "                       tec   TEC lock lost (bit cleared)\n"
        "                       temp  pump temperature outside the 0-40 C calibration\n"
        "  --faults-file PATH   read before each status frame: the faults it names\n"
        "                       (blank or comma separated) are raised too, so editing\n"
        "                       it raises and clears them while running; a missing\n"
        "                       file names none\n"
        "  --help               this text\n"
        "\n"
        "Frames are written only while something has the port open. Output lines:\n"
        "  port: PATH | link: PATH | seed: N | reader: open | reader: closed\n"
        "  command: trigger=... current=X.XX A pulse=X.XX ns freq=N kHz temp=N raw=HEX\n"
        "  bad frame: HEX | hangup | skipped: N | sent: N (always last)\n"
        "  faults: NAME... | faults: none (when the raised faults change)\n"
        "  faults file: PROBLEM (once, when the file cannot be used as it is)\n"
        "  dropped N lines of output (when standard output was not read; also on\n"
        "  stderr at exit)\n",
        to);
}

[[noreturn]] void badUsage(const std::string &what)
{
    std::fprintf(stderr, "laser-sim: %s\n", what.c_str());
    std::fputs("try 'laser-sim --help'\n", stderr);
    std::exit(2);
}

// The whole text as a decimal number: strtod alone would also take leading
// blanks, hexadecimal ("0x1p3"), "inf" and "nan".
bool isDecimal(const char *s)
{
    auto digits = [&s] {
        const char *from = s;
        while (std::isdigit(static_cast<unsigned char>(*s)))
            ++s;
        return s != from;
    };
    if (*s == '+' || *s == '-')
        ++s;
    bool any = digits();
    if (*s == '.') {
        ++s;
        any = digits() || any;
    }
    if (!any)
        return false;
    if (*s == 'e' || *s == 'E') {
        ++s;
        if (*s == '+' || *s == '-')
            ++s;
        if (!digits())
            return false;
    }
    return *s == '\0';
}

double number(const char *opt, const char *text, double low, double high)
{
    errno = 0;
    const double v = isDecimal(text) ? std::strtod(text, nullptr) : NAN;
    if (errno || !(v >= low && v <= high)) {
        char range[80];
        std::snprintf(range, sizeof range, "a number from %.15g to %.15g", low, high);
        badUsage(std::string(opt) + ": '" + text + "' is not " + range);
    }
    return v;
}

// Digits only: a count, a seed or a burst has no fraction, sign or exponent.
unsigned long long whole(const char *opt, const char *text, unsigned long long low, unsigned long long high)
{
    bool ok = *text != '\0';
    for (const char *c = text; *c; ++c)
        ok = ok && std::isdigit(static_cast<unsigned char>(*c));
    errno = 0;
    const unsigned long long v = ok ? std::strtoull(text, nullptr, 10) : 0;
    if (!ok || errno || v < low || v > high)
        badUsage(std::string(opt) + ": '" + text + "' is not a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high));
    return v;
}

Options parse(int argc, char **argv)
{
    enum { oLink = 256, oRate, oVariant, oTemp, oRamp, oTau, oSplit, oGarbage, oBurst, oHangup,
           oSeed, oCount, oFault, oFaultsFile, oHelp };
    static const option longOptions[] = {
        {"link", required_argument, nullptr, oLink},
        {"rate", required_argument, nullptr, oRate},
        {"variant", required_argument, nullptr, oVariant},
        {"temp", required_argument, nullptr, oTemp},
        {"ramp", required_argument, nullptr, oRamp},
        {"tau", required_argument, nullptr, oTau},
        {"split", no_argument, nullptr, oSplit},
        {"garbage", no_argument, nullptr, oGarbage},
        {"burst", required_argument, nullptr, oBurst},
        {"hangup-after", required_argument, nullptr, oHangup},
        {"seed", required_argument, nullptr, oSeed},
        {"count", required_argument, nullptr, oCount},
        {"fault", required_argument, nullptr, oFault},
        {"faults-file", required_argument, nullptr, oFaultsFile},
        {"help", no_argument, nullptr, oHelp},
        {nullptr, 0, nullptr, 0},
    };
    Options o;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        switch (c) {
        case oLink: o.link = optarg; break;
        case oRate: o.rate = number("--rate", optarg, 1e-3, 1e6); break;
        case oVariant:
            if (std::strcmp(optarg, "v1.3") == 0)
                o.variant = sim::Variant::v13;
            else if (std::strcmp(optarg, "v1.2") == 0)
                o.variant = sim::Variant::v12;
            else
                badUsage(std::string("--variant: '") + optarg + "' is neither v1.3 nor v1.2");
            break;
        case oTemp: o.temp = number("--temp", optarg, -20, 80); break;
        case oRamp: o.ramp = number("--ramp", optarg, 1e-3, 1e3); break;
        case oTau: o.tau = number("--tau", optarg, 1e-3, 1e4); break;
        case oSplit: o.split = true; break;
        case oGarbage: o.garbage = true; break;
        case oBurst: o.burst = static_cast<int>(whole("--burst", optarg, 1, 100)); break;
        case oHangup: o.hangupAfter = number("--hangup-after", optarg, 0, 1e7); break;
        case oSeed:
            o.seed = static_cast<unsigned long>(whole("--seed", optarg, 0, 4294967295));
            o.seeded = true;
            break;
        case oCount: o.count = static_cast<long>(whole("--count", optarg, 0, 1000000000000)); break;
        case oFault: {
            unsigned faults = 0;
            std::string bad;
            if (!sim::parseFaults(optarg, faults, bad) || !faults)
                badUsage(std::string("--fault: '") + optarg + "' is not pump, tec or temp");
            o.faults |= faults;
            break;
        }
        case oFaultsFile: o.faultsFile = optarg; break;
        case oHelp: usage(stdout); std::exit(0);
        default:
            badUsage(std::string("unknown option or missing value: ") + argv[optind - 1]);
        }
    }
    if (optind < argc)
        badUsage(std::string("unexpected argument: ") + argv[optind]);
    return o;
}

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

struct Chunk {
    Clock::time_point due;
    sim::Bytes bytes;
    long frames; // frames complete once this chunk is out
};

class Simulator {
public:
    Simulator(const Options &o, int master, std::string farEnd)
        : opt(o), master(master), farEnd(std::move(farEnd)), rng(o.seed)
    {
        pump.setTemperature = o.temp;
        pump.rampAmpsPerSecond = o.ramp;
        pump.timeConstant = o.tau;
        const double maxRate = lineBytesPerSecond / (sim::frameSize * o.burst);
        rate = o.rate;
        if (rate > maxRate) {
            std::fprintf(stderr, "laser-sim: rate capped at %.1f/s, what the line carries\n", maxRate);
            rate = maxRate;
        }
        period = std::chrono::duration_cast<Clock::duration>(Seconds(1.0 / rate));
    }

    void run();

private:
    void tick(Clock::time_point now);
    void writeDue(Clock::time_point now);
    void readCommands(Clock::time_point now);
    void report(const std::vector<sim::CommandReader::Event> &events, Clock::time_point now);
    void attach();
    void detach();
    void finish(bool hangup);
    void readFaults();
    std::size_t backlog() const;

    const Options &opt;
    int master;
    std::string farEnd;
    std::mt19937 rng;
    sim::Pump pump;
    sim::CommandReader reader;
    std::deque<Chunk> out;
    double rate = 5.0;
    Clock::duration period{};
    bool attached = false;
    bool waitWritable = false;
    long scheduled = 0, sent = 0, skipped = 0;
    Clock::time_point lastModel, lastInput;
    std::string faultsText = std::string(1, '\0'); // as last read; never a file's
};

// The faults file's text, or "\0" and the reason it cannot be read. It is
// opened without waiting, so a FIFO given by mistake cannot stall the line.
std::string faultsFileText(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::string() : std::string(1, '\0') + std::strerror(errno);
    std::string text;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        text = std::string(1, '\0') + "not a regular file";
    } else {
        char buf[512];
        ssize_t n;
        while (text.size() < 4096 && (n = read(fd, buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

void Simulator::readFaults()
{
    const std::string text = opt.faultsFile.empty() ? std::string() : faultsFileText(opt.faultsFile);
    if (text == faultsText)
        return;
    faultsText = text;
    unsigned faults = opt.faults;
    std::string bad;
    if (!text.empty() && text[0] == '\0')
        say("faults file: " + opt.faultsFile + ": " + text.substr(1) + "; it names no fault");
    else if (!sim::parseFaults(text, faults, bad))
        say("faults file: " + opt.faultsFile + ": '" + bad + "' is not pump, tec or temp; ignored");
    if (faults != pump.faults)
        say("faults: " + sim::faultNames(faults));
    pump.faults = faults;
}

std::size_t Simulator::backlog() const
{
    std::size_t n = 0;
    for (const Chunk &c : out)
        n += c.bytes.size();
    return n;
}

void Simulator::attach()
{
    attached = true;
    say("reader: open");
}

void Simulator::detach()
{
    attached = false;
    waitWritable = false;
    // Half-written frames would reach the next reader as noise.
    out.clear();
    report(reader.flush(), Clock::now());
    resetFarEnd(farEnd);
    say("reader: closed");
}

void Simulator::tick(Clock::time_point now)
{
    readFaults();
    pump.advance(Seconds(now - lastModel).count());
    lastModel = now;
    if (!attached || (opt.count >= 0 && scheduled >= opt.count))
        return;
    long frames = opt.burst;
    if (opt.count >= 0)
        frames = std::min(frames, opt.count - scheduled);
    if (backlog() > backlogLimit) {
        skipped += frames;
        return;
    }
    const sim::Frame f = pump.statusFrame();
    // Never ahead of what is still queued, so pieces stay in order.
    Clock::time_point at = out.empty() ? now : std::max(now, out.back().due);
    if (opt.split) {
        std::uniform_int_distribution<int> gapUs(1000, 5000);
        for (long i = 0; i < frames; ++i) {
            std::size_t pos = 0;
            for (std::size_t size : sim::splitSizes(rng)) {
                pos += size;
                out.push_back({at, sim::Bytes(f.begin() + static_cast<long>(pos - size),
                                              f.begin() + static_cast<long>(pos)),
                               pos == sim::frameSize ? 1 : 0});
                at += std::chrono::microseconds(gapUs(rng));
            }
        }
    } else {
        sim::Bytes all;
        for (long i = 0; i < frames; ++i)
            all.insert(all.end(), f.begin(), f.end());
        out.push_back({at, std::move(all), frames});
    }
    if (opt.garbage)
        out.push_back({std::max(at, now + period / 2), sim::garbage(rng), 0});
    scheduled += frames;
}

void Simulator::writeDue(Clock::time_point now)
{
    while (attached && !out.empty() && out.front().due <= now) {
        Chunk &c = out.front();
        const ssize_t n = write(master, c.bytes.data(), c.bytes.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                waitWritable = true;
            } else if (errno == EINTR) {
                continue;
            } else {
                detach();
            }
            return;
        }
        if (static_cast<std::size_t>(n) < c.bytes.size()) {
            c.bytes.erase(c.bytes.begin(), c.bytes.begin() + n);
            waitWritable = true;
            return;
        }
        sent += c.frames;
        out.pop_front();
    }
    waitWritable = false;
}

void Simulator::report(const std::vector<sim::CommandReader::Event> &events, Clock::time_point now)
{
    for (const auto &e : events) {
        if (!e.good) {
            say("bad frame: " + sim::hex(e.bytes));
            continue;
        }
        sim::Frame f;
        std::copy(e.bytes.begin(), e.bytes.end(), f.begin());
        pump.advance(Seconds(now - lastModel).count());
        lastModel = now;
        pump.apply(f);
        say(sim::commandLine(f, opt.variant));
    }
}

void Simulator::readCommands(Clock::time_point now)
{
    std::uint8_t buf[512];
    for (int i = 0; i < readsPerTurn; ++i) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n > 0) {
            lastInput = now;
            report(reader.feed(buf, static_cast<std::size_t>(n)), now);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        detach(); // EIO: the last reader closed the line
        return;
    }
}

void Simulator::finish(bool hangup)
{
    // The stop signals stay caught and blocked until the link is gone; after
    // that, one more ends the wait for the reader of the last lines.
    if (hangup)
        output.sayLast("hangup");
    close(master);
    removeLink(opt.link, farEnd);
    stopSignal = 0;
    if (skipped)
        output.sayLast("skipped: " + std::to_string(skipped));
    output.sayLast("sent: " + std::to_string(sent));
    output.drain(exitDrain);
    if (output.dropped())
        std::fprintf(stderr, "laser-sim: dropped %ld lines of output\n", output.dropped());
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

void Simulator::run()
{
    const Clock::time_point start = Clock::now();
    lastModel = lastInput = start;
    Clock::time_point nextTick = start;
    const Clock::time_point hangupAt =
        opt.hangupAfter >= 0 ? start + std::chrono::duration_cast<Clock::duration>(Seconds(opt.hangupAfter))
                             : Clock::time_point::max();
    // With --count, once the last frame is out: when to look next whether the
    // reader has it, and when to stop waiting for it.
    Clock::time_point lastFramesCheck = Clock::time_point::max(), lastFramesUntil = Clock::time_point::max();

    for (;;) {
        Clock::time_point now = Clock::now();
        if (stopSignal)
            return finish(false);
        if (now >= hangupAt)
            return finish(true);

        if (!attached) {
            pollfd p{master, 0, 0};
            if (poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP))
                attach();
        }
        if (now >= nextTick) {
            tick(now);
            nextTick += period;
            // After a stall start afresh instead of firing the missed ticks at once.
            if (nextTick < now - 4 * period)
                nextTick = now + period;
        }
        writeDue(now);
        if (reader.pending() && now - lastInput >= commandIdle)
            report(reader.flush(), now);

        // With --count, end as soon as the reader has the last frame: closing
        // our end throws away what it has not read. The first look waits a
        // moment for the kernel to hand the bytes over to the reader's side.
        if (opt.count >= 0 && sent >= opt.count && out.empty()) {
            if (!attached)
                return finish(false);
            if (lastFramesUntil == Clock::time_point::max()) {
                lastFramesCheck = now + lastFramesPoll;
                lastFramesUntil = now + lastFramesWait;
            } else if (now >= lastFramesCheck) {
                const long left = unread(farEnd);
                if (left == 0 || now >= lastFramesUntil)
                    return finish(false);
                // Not knowing, give it a couple of periods as if it read at our pace.
                if (left < 0)
                    lastFramesUntil = std::min(lastFramesUntil, now + std::max<Clock::duration>(
                                                                          std::chrono::milliseconds(200), 2 * period));
                lastFramesCheck = left > 0 ? now + lastFramesPoll : lastFramesUntil;
            }
        }

        output.flush();

        Clock::time_point wake = std::min({nextTick, hangupAt, lastFramesCheck});
        if (!attached)
            wake = std::min(wake, now + attachPoll);
        if (attached && !waitWritable && !out.empty())
            wake = std::min(wake, out.front().due);
        if (reader.pending())
            wake = std::min(wake, lastInput + commandIdle);

        // Our end reports hang-up for as long as nobody has the line open, so
        // it is only watched while someone does. Our output is watched only
        // while it has lines its reader did not take.
        pollfd p[2] = {{attached ? master : -1, static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0)), 0},
                       {output.waitFd(), POLLOUT, 0}};
        const int r = waitFor(p, 2, wake - now);
        if (r <= 0)
            continue;
        now = Clock::now();
        if (p[0].revents & POLLIN)
            readCommands(now);
        if (attached && (p[0].revents & (POLLHUP | POLLERR)) && !(p[0].revents & POLLIN))
            detach();
        if (attached && (p[0].revents & POLLOUT))
            waitWritable = false;
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options opt = parse(argc, argv);
    if (!opt.seeded)
        opt.seed = std::random_device{}();

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "laser-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    const char *name = ptsname(master);
    if (!name || !resetFarEnd(name)) {
        std::fprintf(stderr, "laser-sim: cannot set up the far end of the pseudo-terminal\n");
        return 1;
    }
    const std::string farEnd = name;

    catchStopSignals();
    std::signal(SIGPIPE, SIG_IGN);

    // Whoever waits for these lines opens the link next, so it must exist first.
    if (!makeLink(opt.link, farEnd)) {
        close(master);
        return 1;
    }
    output.open();
    say("port: " + farEnd);
    say("link: " + opt.link);
    say("seed: " + std::to_string(opt.seed));

    Simulator(opt, master, farEnd).run();
    return 0;
}
