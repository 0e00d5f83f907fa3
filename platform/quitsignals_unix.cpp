#include "quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {
int pipeFds[2] = {-1, -1};
// Set by the handler, cleared once the event loop has taken the signal.
volatile std::sig_atomic_t unhandled = 0;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onStopSignal(int sig)
{
    if (unhandled) {
        // The loop never took the last one: it is stuck, so die as if uncaught.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    unhandled = 1;
    const int saved = errno;
    const char byte = static_cast<char>(sig);
    // Non-blocking: with the pipe full a wake-up is already pending.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}
} // namespace

bool quitOnSignals(QCoreApplication &app)
{
    if (pipeFds[0] >= 0)
        return true;
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return false;
    }
    auto *notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char buf[64];
        while (::read(pipeFds[0], buf, sizeof buf) > 0) {
        }
        unhandled = 0;
        app.quit();
    });

    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : kStopSignals)
        sigaddset(&sa.sa_mask, sig);
    sa.sa_flags = SA_RESTART;
    bool ok = true;
    for (int sig : kStopSignals)
        ok = ::sigaction(sig, &sa, nullptr) == 0 && ok;
    // A parent may have started us with them blocked; they must get through.
    sigset_t stops;
    sigemptyset(&stops);
    for (int sig : kStopSignals)
        sigaddset(&stops, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
    return ok;
}

} // namespace platform
