// The command line.
#include "sim.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <getopt.h>

namespace simprog {

static void usage(std::FILE *to)
{
    std::fputs(
        "usage: laser-sim [options]\n"
        "A simulated laser on a pseudo-terminal. Prints 'port: /dev/pts/N' and\n"
        "'link: PATH'; open either one from the panel.\n"
        "\n"
        "  --link PATH          symlink to the port (default /tmp/laserpanel-sim); an\n"
        "                       existing one is replaced if it dangles or leads to a\n"
        "                       pseudo-terminal no other laser-sim is running on\n"
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

} // namespace simprog
