#include "cli.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace cli {

int ports()
{
    const auto infos = QSerialPortInfo::availablePorts();
    if (infos.isEmpty()) {
        complain(QStringLiteral("the system lists no serial ports"));
        return ctl::Ok;
    }
    auto orDash = [](const QString &s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    QList<QStringList> rows{{QStringLiteral("PORT"), QStringLiteral("DESCRIPTION"), QStringLiteral("MANUFACTURER"),
                             QStringLiteral("VID:PID"), QStringLiteral("SERIAL")}};
    for (const QSerialPortInfo &info : infos) {
        const QString ids = info.hasVendorIdentifier() && info.hasProductIdentifier()
            ? QStringLiteral("%1:%2").arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                  .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'))
            : QString();
        rows.append({info.systemLocation(), orDash(info.description()), orDash(info.manufacturer()), orDash(ids),
                     orDash(info.serialNumber())});
    }
    QVector<int> widths(5, 0);
    for (const QStringList &row : rows)
        for (int i = 0; i < 5; ++i)
            widths[i] = std::max(widths[i], int(row[i].size()));
    Out out;
    out.open(QString());
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < 4; ++i)
            line += row[i].leftJustified(widths[i] + 2);
        out.line(line + row[4]);
    }
    return out.failure.isEmpty() ? int(ctl::Ok) : int(ctl::Failed);
}

} // namespace cli
