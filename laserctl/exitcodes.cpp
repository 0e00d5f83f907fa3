#include "ctl.h"

namespace ctl {

QString exitCodeTable()
{
    QString table;
    for (const ExitCode &e : kExitCodes)
        table += helpEntry(QString::number(e.code).rightJustified(3), QString::fromUtf8(e.meaning), 5);
    return table;
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
