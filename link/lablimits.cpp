#include "lablimits.h"

#include "recordfile.h"
#include "words.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace laser {

namespace {
enum Name { CurrentMax, PulseMin, PulseMax, FreqMin, FreqMax, RiseMax, kNames };
const char *const kKeys[kNames] = {"current_max", "pulse_min", "pulse_max", "freq_min", "freq_max", "current_rise_max"};

struct Found {
    double value;
    QString section;
};
using Values = std::array<std::optional<Found>, kNames>;

// One file's values for `key`, every line checked: a file half understood
// is not read at all. Empty when read, else why not.
QString readFile(const QString &path, const QString &key, Values &out)
{
    const QString odd = platform::notRegularFile(path);
    if (!odd.isEmpty())
        return odd;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return file.errorString();
    Values all, own;
    Values *into = nullptr;
    QString section;
    for (int number = 1; !file.atEnd(); ++number) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        auto bad = [number](const QString &what) { return QStringLiteral("line %1: %2").arg(number).arg(what); };
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            into = section == QLatin1String("all") ? &all : !key.isEmpty() && section == key ? &own : nullptr;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return bad(QStringLiteral("neither [section] nor name = value"));
        const QString name = line.left(equals).trimmed();
        const auto known = std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char *k) { return name == QLatin1String(k); });
        if (known == std::end(kKeys))
            return bad(QStringLiteral("unknown name '%1'").arg(name));
        if (section.isEmpty())
            return bad(QStringLiteral("%1 before any [section]").arg(name));
        bool ok = false;
        const double value = line.mid(equals + 1).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value) || value < 0)
            return bad(QStringLiteral("%1 is not a number of 0 or more").arg(name));
        if (into)
            (*into)[known - std::begin(kKeys)] = Found{value, section};
    }
    for (int n = 0; n < kNames; ++n)
        out[n] = own[n] ? own[n] : all[n];
    return QString();
}

QString where(const Limit &limit)
{
    return limit.from.isEmpty() ? QStringLiteral("the firmware's range") : limit.from;
}
} // namespace

QStringList limitsFiles()
{
    QStringList system = QStandardPaths::standardLocations(QStandardPaths::ConfigLocation);
    const QString user = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
    system.removeAll(user);
    QStringList files;
    for (const QString &folder : system + QStringList{user})
        files << folder + QStringLiteral("/laserpanel/limits.conf");
    return files;
}

Limits loadLimits(const QString &key, const Variant &variant, const QStringList &files)
{
    Limits l;
    l.kHzPerStep = variant.kHzPerStep;
    l.freqMax.steps = variant.maxSteps;
    const double stepsPerUnit[kNames] = {setpoint::kCurrentStepsPerAmp, setpoint::kPulseStepsPerNs,
                                         setpoint::kPulseStepsPerNs,    1.0 / variant.kHzPerStep,
                                         1.0 / variant.kHzPerStep,      setpoint::kCurrentStepsPerAmp};
    Limit *const limits[kNames] = {&l.currentMax, &l.pulseMin, &l.pulseMax, &l.freqMin, &l.freqMax, &l.riseMax};
    for (const QString &path : files) {
        if (platform::notRegularFile(path).isEmpty() && !QFileInfo::exists(path))
            continue;
        Values values;
        const QString why = readFile(path, key, values);
        if (!why.isEmpty()) {
            l.damaged += (l.damaged.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("%1: %2").arg(path, why);
            continue;
        }
        for (int n = 0; n < kNames; ++n) {
            if (!values[n])
                continue;
            // A limit between two steps keeps to the step inside it.
            const double steps = values[n]->value * stepsPerUnit[n];
            const bool lower = n == PulseMin || n == FreqMin;
            const int inside = int(lower ? std::ceil(steps - 1e-9) : std::floor(steps + 1e-9));
            if (lower ? inside > limits[n]->steps : inside < limits[n]->steps)
                *limits[n] = {inside, QStringLiteral("%1 [%2]").arg(path, values[n]->section)};
        }
    }
    // Ranges a later file moved past each other keep the upper bound.
    l.pulseMin.steps = qMin(l.pulseMin.steps, l.pulseMax.steps);
    l.freqMin.steps = qMin(l.freqMin.steps, l.freqMax.steps);
    return l;
}

Refusal Limits::refusal(const WorkingPoint &p, const WorkingPoint *last) const
{
    using words::twoDecimals;
    const int from = last ? last->currentSteps : 0;
    const auto amps = [](int steps) { return twoDecimals(steps / setpoint::kCurrentStepsPerAmp); };
    const auto ns = [](int steps) { return twoDecimals(steps / setpoint::kPulseStepsPerNs); };
    const auto kHz = [this](int steps) { return QString::number(steps * kHzPerStep); };
    const auto refuse = [](Refusal::Kind kind, const char *english, const QStringList &args) {
        QString text = QString::fromLatin1(english);
        for (const QString &a : args)
            text = text.arg(a);
        return Refusal{kind, args, text};
    };
    if (!damaged.isEmpty() && p.currentSteps > from)
        return refuse(Refusal::Unreadable, "current %1 A would rise from %2 A, but a limits file cannot be read (%3)",
                      {amps(p.currentSteps), amps(from), damaged});
    if (p.currentSteps > currentMax.steps)
        return refuse(Refusal::CurrentMax, "current %1 A is beyond the limit %2 A (%3)",
                      {amps(p.currentSteps), amps(currentMax.steps), where(currentMax)});
    if (p.pulseSteps < pulseMin.steps || p.pulseSteps > pulseMax.steps)
        return refuse(Refusal::Pulse, "pulse %1 ns is beyond the limits %2 to %3 ns (%4)",
                      {ns(p.pulseSteps), ns(pulseMin.steps), ns(pulseMax.steps),
                       where(p.pulseSteps < pulseMin.steps ? pulseMin : pulseMax)});
    if (p.freqSteps < freqMin.steps || p.freqSteps > freqMax.steps)
        return refuse(Refusal::Freq, "freq %1 kHz is beyond the limits %2 to %3 kHz (%4)",
                      {QString::number(p.freqKHz()), kHz(freqMin.steps), kHz(freqMax.steps),
                       where(p.freqSteps < freqMin.steps ? freqMin : freqMax)});
    if (p.currentSteps - from > riseMax.steps)
        return refuse(Refusal::Rise, "current %1 A would rise from %2 A by more than the %3 A one command may (%4)",
                      {amps(p.currentSteps), amps(from), amps(riseMax.steps), where(riseMax)});
    return {};
}

WorkingPoint Limits::cut(const WorkingPoint &point) const
{
    WorkingPoint p = point;
    p.currentSteps = qMin(p.currentSteps, currentMax.steps);
    p.pulseSteps = qBound(pulseMin.steps, p.pulseSteps, pulseMax.steps);
    p.freqSteps = qBound(freqMin.steps, p.freqSteps, freqMax.steps);
    return p;
}

} // namespace laser
