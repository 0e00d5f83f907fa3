#include "setpoint.h"

#include <QRegularExpression>

#include <cmath>

namespace setpoint {

namespace {
Typed clampedTo(int bound)
{
    return Typed{double(bound), bound, true};
}
} // namespace

Typed fromDecimalText(const QString &text, double stepsPerUnit, int min, int max)
{
    // QString::toDouble is locale-independent: the point is the separator.
    const double scaled = text.toDouble() * stepsPerUnit;
    if (std::isnan(scaled) || scaled < min)
        return clampedTo(min);
    if (scaled > max)
        return clampedTo(max);
    return Typed{scaled, static_cast<int>(scaled), false};
}

Typed fromFrequencyText(const QString &text, int kHzPerStep, int min, int max)
{
    bool ok = false;
    const int kHz = text.toInt(&ok, 10);
    if (!ok) {
        static const QRegularExpression tooLong(QStringLiteral("^\\s*([+-]?)\\d+\\s*$"));
        const QRegularExpressionMatch m = tooLong.match(text);
        if (m.hasMatch())
            return clampedTo(m.captured(1) == QLatin1String("-") ? min : max);
    }
    const int steps = kHz / kHzPerStep;   // 0 when the text did not convert
    if (steps < min)
        return clampedTo(min);
    if (steps > max)
        return clampedTo(max);
    return Typed{double(steps), steps, false};
}

QString decimalText(int position, double stepsPerUnit)
{
    return QString::number(position / stepsPerUnit, 'f', 2);
}

QString frequencyText(int position, int kHzPerStep)
{
    return QString::number(position * kHzPerStep);
}

int commandSteps(double member)
{
    // Members stay inside the scroll-bar ranges, so truncation is defined.
    if (!(member > -2147483648.0 && member < 2147483648.0))
        return 0;
    return static_cast<int>(member);
}

} // namespace setpoint
