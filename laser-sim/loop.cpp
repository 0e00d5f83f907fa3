// The simulation loop.
#include "sim.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace simprog {

namespace {

struct Chunk {
    Clock::time_point due;
    sim::Bytes bytes;
    long frames; // frames complete once this chunk is out
};

class Simulator {
public:
    Simulator(const Options &o, int master, const FarEnd &farEnd)
        : opt(o), master(master), farEnd(farEnd), rng(o.seed)
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
    void clientsChanged();
    void attach();
    void detach();
    void finish(bool hangup);
    void readFaults();
    std::size_t backlog() const;

    const Options &opt;
    int master;
    const FarEnd &farEnd;
    std::mt19937 rng;
    sim::Pump pump;
    sim::CommandReader reader;
    std::deque<Chunk> out;
    double rate = 5.0;
    Clock::duration period{};
    int clients = 0;
    bool attached = false; // while a client has the line open
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

// The kernel reports each open and close of the far end by a client, a killed
// one too, so the line is never looked at by polling.
void Simulator::clientsChanged()
{
    for (int change : clientChanges(farEnd)) {
        clients = std::max(0, clients + change);
        if (change > 0 && clients == 1)
            attach();
        else if (change < 0 && clients == 0)
            detach();
    }
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
                out.clear();
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
        return; // nothing more now: we hold the far end, so never an end of file
    }
}

void Simulator::finish(bool hangup)
{
    // The stop signals stay caught and blocked until the link is gone; after
    // that, one more ends the wait for the reader of the last lines.
    if (hangup)
        output.sayLast("hangup");
    close(master);
    close(farEnd.fd);
    close(farEnd.watch);
    removeLink(opt.link, farEnd.path);
    stopSignal = 0;
    if (skipped)
        output.sayLast("skipped: " + std::to_string(skipped));
    output.sayLast("sent: " + std::to_string(sent));
    output.drain(exitDrain);
    if (output.dropped())
        std::fprintf(stderr, "laser-sim: dropped %ld lines of output\n", output.dropped());
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
        if (attached && !waitWritable && !out.empty())
            wake = std::min(wake, out.front().due);
        if (reader.pending())
            wake = std::min(wake, lastInput + commandIdle);

        // Our output is watched only while it has lines its reader did not take.
        pollfd p[3] = {{master, static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0)), 0},
                       {farEnd.watch, POLLIN, 0},
                       {output.waitFd(), POLLOUT, 0}};
        const int r = waitFor(p, 3, wake - now);
        if (r <= 0)
            continue;
        now = Clock::now();
        if (p[0].revents & POLLIN)
            readCommands(now);
        if (p[1].revents & POLLIN)
            clientsChanged();
        if (attached && (p[0].revents & POLLOUT))
            waitWritable = false;
    }
}


} // namespace

void simulate(const Options &o, int master, const FarEnd &farEnd)
{
    Simulator(o, master, farEnd).run();
}

} // namespace simprog
