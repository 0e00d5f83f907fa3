// laser-sim: a simulated laser on a pseudo-terminal, for running the panel
// without hardware and for soak tests of its receive path.
#include "sim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>

using namespace simprog;

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
    FarEnd farEnd;
    if (!name || !holdFarEnd(name, farEnd))
        return 1;

    catchStopSignals();
    std::signal(SIGPIPE, SIG_IGN);

    // Whoever waits for these lines opens the link next, so it must exist first.
    if (!makeLink(opt.link, farEnd.path)) {
        close(master);
        return 1;
    }
    output.open();
    say("port: " + farEnd.path);
    say("link: " + opt.link);
    say("seed: " + std::to_string(opt.seed));

    simulate(opt, master, farEnd);
    return 0;
}

