#include "cli.h"

#include <cstdio>

namespace cli {

void complain(const QString &text)
{
    std::fprintf(stderr, "laserctl: %s\n", text.toUtf8().constData());
}

QString printableName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

int portError(const QString &port, const laser::PortFailure &failure)
{
    complain(QStringLiteral("%1: %2").arg(printableName(port), failure.reason));
    return ctl::exitFor(failure);
}

} // namespace cli
