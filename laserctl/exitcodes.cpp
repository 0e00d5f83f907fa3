#include "ctl.h"

namespace ctl {

QString exitCodeTable()
{
    QString table;
    for (const ExitCode &e : kExitCodes)
        table += helpEntry(QString::number(e.code).rightJustified(3), QString::fromUtf8(e.meaning), 5);
    return table;
}

Exit exitFor(const laser::PortFailure &failure)
{
    switch (failure.kind) {
    case laser::PortFailure::None: return Ok;
    case laser::PortFailure::NotSerial: return NotSerial;
    case laser::PortFailure::NoDevice: return PortMissing;
    case laser::PortFailure::NoPermission: return PortPermission;
    case laser::PortFailure::Busy: return PortBusy;
    case laser::PortFailure::Removed:
    case laser::PortFailure::HungUp:
    case laser::PortFailure::Other: return Failed;
    }
    return Failed;
}

} // namespace ctl
