#pragma once

// laser-sim's parts: the options, the stop signals, its output, the
// pseudo-terminal and its link, and the simulation loop.

#include "simlaser.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace simprog {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// 115200 baud, 10 bits a byte on the wire.
constexpr double lineBytesPerSecond = 11520.0;
// Past this much unwritten output the reader is not keeping up; frames are
// skipped rather than queued without bound.
constexpr std::size_t backlogLimit = 4096;
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

// The command line, or exit with status 2 and the reason.
Options parse(int argc, char **argv);

// The stop signal that came, 0 while none has.
extern volatile std::sig_atomic_t stopSignal;
// SIGINT, SIGTERM and SIGHUP: caught for the whole run and let through only
// while waiting, so none is lost between a check and the wait.
void catchStopSignals();
// ppoll that a stop signal interrupts.
int waitFor(pollfd *fds, nfds_t n, Clock::duration wait);

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
extern LineOutput output;
void say(const std::string &line);

// The far end, held open by the simulator for the whole run so that what a
// client writes before it closes is never lost: `fd` is ours, and `watch` an
// inotify descriptor that reports the clients' opens and closes.
struct FarEnd {
    std::string path;
    int fd = -1;
    int watch = -1;
};
// Opens the far end raw and starts watching it; false with the reason printed.
bool holdFarEnd(const char *path, FarEnd &farEnd);
// Raw, empty and no longer exclusive, for the next client: the last one may
// have been killed with the line in its exclusive mode.
void resetFarEnd(const FarEnd &farEnd);
// Clients that opened (+1) and closed (-1) the far end since the last call.
std::vector<int> clientChanges(const FarEnd &farEnd);
// Bytes the client has not taken yet.
long unread(const FarEnd &farEnd);
// Makes `link` lead to `target`, refusing what is not ours to replace.
bool makeLink(const std::string &link, const std::string &target);
// Removes `link` if it still leads to `target`.
void removeLink(const std::string &link, const std::string &target);

// Status frames out, commands in, until a stop signal, a hang-up or --count.
void simulate(const Options &o, int master, const FarEnd &farEnd);

} // namespace simprog
