#pragma once

// laserctl's exit codes and what each means: --help prints this table, and
// laserctl(1)'s EXIT STATUS says the same (tst_laserctl compares them).

#include <QString>

#include <iterator>

namespace ctl {

enum Exit {
    Ok = 0,
    Failed = 1,
    Usage = 2,
    NoLaser = 3,
    PortMissing = 4,
    PortPermission = 5,
    PortBusy = 6,
    NotSerial = 7,
    LinkLost = 8,
    VerifyMismatch = 9,
    LaserFault = 10,
    PanelRefuses = 11,
    BeyondLimit = 12,
};

struct ExitCode {
    Exit code;
    const char *meaning;   // one line; --help wraps it
};

inline constexpr ExitCode kExitCodes[] = {
    {Ok, "success (detect: a laser found; set: frame written, and confirmed with --verify)"},
    {Failed, "another failure: the frame or the output file could not be written, or the port did not open "
             "for a reason not listed below"},
    {Usage, "bad usage: unknown option, missing or malformed value, value outside the panel's range"},
    {NoLaser, "no laser: no valid status frame in time (detect, status, set --verify)"},
    {PortMissing, "port missing"},
    {PortPermission, "port permission denied"},
    {PortBusy, "port busy: another program has it open"},
    {NotSerial, "not a serial device: a file, a directory, a console or this terminal"},
    {LinkLost, "link lost: the port went away (monitor without --reconnect, status, set --verify)"},
    {VerifyMismatch, "set --verify: the laser reports another trigger mode, or a pump current further from the "
                     "setpoint than the tolerance"},
    {LaserFault, "status: the laser reports a fault (pump supply, pump temperature outside the calibration)"},
    {PanelRefuses, "set: the panel that holds the port refuses commands from scripts"},
    {BeyondLimit, "set: a value beyond the limits the lab set (see laserctl limits), or a rise of the pump current "
                  "while a limits file cannot be read; nothing was sent"},
};
static_assert(std::size(kExitCodes) == BeyondLimit + 1, "every exit code has its meaning");

// The table as --help lists it, one "  N  meaning" entry a code.
QString exitCodeTable();

} // namespace ctl
