#include "cli.h"

#include "csvrecord.h"
#include "jsonrecord.h"
#include "workingpointstore.h"

namespace cli {

// The working points last sent on the port, newest first, from the store the
// panel and laserctl share; the port itself is not opened.
int history(QCoreApplication &, const Options &o)
{
    QVector<laser::WorkingPointStore::Entry> entries;
    QString why;
    if (!laser::WorkingPointStore().history(laser::workingPointKey(o.port), o.count, entries, &why)) {
        complain(why);
        return ctl::Failed;
    }
    if (entries.isEmpty())
        complain(QStringLiteral("%1: no command sent yet").arg(printableName(o.port)));
    Out out;
    out.open(QString());
    for (const auto &e : entries) {
        const QString time = laser::csv::isoTime(e.sent);
        const laser::WorkingPoint &p = e.point;
        if (o.format == Format::Json) {
            QJsonObject line = laser::json::commandJson(time, p);
            line.insert(QStringLiteral("sender"), e.sender);
            out.line(laser::json::jsonLine(line));
        } else {
            out.line(QStringLiteral("%1  current %2 A  pulse %3 ns  frequency %4 kHz  trigger %5  by %6")
                         .arg(time, laser::words::twoDecimals(p.currentA()), laser::words::twoDecimals(p.pulseNs()))
                         .arg(p.freqKHz())
                         .arg(laser::words::trigger(p.externalTrigger), e.sender));
        }
    }
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}

} // namespace cli
