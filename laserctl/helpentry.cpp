#include "ctl.h"

namespace ctl {

QString helpEntry(const QString &term, const QString &text, int indent)
{
    constexpr int kWidth = 79;
    QString entry, line = term.leftJustified(indent - 2) + QStringLiteral("  ");
    bool bare = true;   // no word on the line yet
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!bare && line.size() + 1 + word.size() > kWidth) {
            entry += line + QLatin1Char('\n');
            line = QString(indent, QLatin1Char(' '));
            bare = true;
        }
        line += (bare ? QString() : QStringLiteral(" ")) + word;
        bare = false;
    }
    return entry + line + QLatin1Char('\n');
}

} // namespace ctl
