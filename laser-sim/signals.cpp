// Stop signals: caught, and let through only while waiting.
#include "sim.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace simprog {

volatile std::sig_atomic_t stopSignal = 0;
namespace {
extern "C" void onStopSignal(int sig) { stopSignal = sig; }
} // namespace

// The mask to wait with: the stop signals are caught for the whole run and
// let through only while waiting, so none is lost between a check and the wait.
static sigset_t waitMask;

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

} // namespace simprog
