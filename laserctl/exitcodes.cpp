#include "ctl.h"


namespace ctl {

using laser::words::twoDecimals;
using laser::words::trigger;

QString exitCodeTable()
{
    return QStringLiteral(
        "  0  success (detect: a laser found; set: frame written, and confirmed with --verify)\n"
        "  1  another failure: the frame or the output file could not be written, or the\n"
        "     port did not open for a reason not listed below\n"
        "  2  bad usage: unknown option, missing or malformed value, value outside the\n"
        "     panel's range\n"
        "  3  no laser: no valid status frame in time (detect, status, set --verify)\n"
        "  4  port missing\n"
        "  5  port permission denied\n"
        "  6  port busy: another program has it open\n"
        "  7  not a serial device: a file, a directory, a console or this terminal\n"
        "  8  link lost: the port went away (monitor without --reconnect, status, set --verify)\n"
        "  9  set --verify: the laser reports another trigger mode, or a pump current\n"
        "     further from the setpoint than the tolerance\n"
        " 10  status: the laser reports a fault (pump supply, pump temperature outside\n"
        "     the calibration)\n"
        " 11  set: the panel that holds the port refuses commands from scripts\n");
}

Exit exitFor(const laser::OpenFailure &failure)
{
    switch (failure.kind) {
    case laser::OpenFailure::None: return Ok;
    case laser::OpenFailure::Refused: return NotSerial;
    case laser::OpenFailure::Missing: return PortMissing;
    case laser::OpenFailure::Permission: return PortPermission;
    case laser::OpenFailure::Busy: return PortBusy;
    case laser::OpenFailure::Other: return Failed;
    }
    return Failed;
}

} // namespace ctl
