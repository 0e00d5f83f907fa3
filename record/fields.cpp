#include "fields.h"

#include "csvrecord.h"
#include "statusdecode.h"
#include "words.h"

#include <charconv>
#include <cmath>

namespace laser::record {

namespace {
using View = std::string_view;

bool number(View text, double &out)
{
    const auto end = text.data() + text.size();
    return !text.empty() && std::from_chars(text.data(), end, out).ptr == end && std::isfinite(out);
}

bool whole(View text, int &out)
{
    const auto end = text.data() + text.size();
    return !text.empty() && std::from_chars(text.data(), end, out).ptr == end;
}

bool word(View text, const QString &yes, const QString &no, bool &out)
{
    const QLatin1String t(text.data(), int(text.size()));
    out = t == yes;
    return out || t == no;
}

// A command's point again with one of its values changed, so the steps come
// from pointFromUnits alone.
WorkingPoint withUnits(const WorkingPoint &p, double currentA, double pulseNs, double freqKHz)
{
    return pointFromUnits(p.externalTrigger, currentA, pulseNs, freqKHz, p.kHzPerStep);
}
} // namespace

const std::vector<Field> &fields()
{
    using S = const Source &;
    static const std::vector<Field> table{
        {"time", Every, Field::Text, [](S s) -> QVariant { return s.time; },
         [](View t, Source &s) { return csv::msFromIsoTime(t, s.ms); }},
        {"kind", Every, Field::Text, [](S s) -> QVariant { return s.word; },
         [](View t, Source &s) {
             s.kind = t == "status" ? Status : t == "command" ? Command : Event;
             s.word = s.kind == Status    ? QStringLiteral("status")
                      : s.kind == Command ? QStringLiteral("command")
                                          : QString::fromUtf8(t.data(), int(t.size()));
             return !t.empty();
         }},
        {"current_A", Status, Field::TwoDecimals, [](S s) -> QVariant { return s.reading.currentA; },
         [](View t, Source &s) { return number(t, s.reading.currentA); }},
        // Outside the calibration there is no temperature to record.
        {"temperature_C", Status, Field::Whole,
         [](S s) { return s.reading.temperatureC == kTemperatureOutOfRange ? QVariant() : QVariant(s.reading.temperatureC); },
         [](View t, Source &s) {
             s.reading.temperatureC = kTemperatureOutOfRange;
             return t.empty() || whole(t, s.reading.temperatureC);
         }},
        {"trigger", Status, Field::Text, [](S s) -> QVariant { return words::trigger(s.reading.externalTrigger); },
         [](View t, Source &s) { return word(t, words::trigger(true), words::trigger(false), s.reading.externalTrigger); }},
        {"pump_supply", Status, Field::Text, [](S s) -> QVariant { return words::pumpSupply(s.reading.pumpSupplyNormal); },
         [](View t, Source &s) {
             return word(t, words::pumpSupply(true), words::pumpSupply(false), s.reading.pumpSupplyNormal);
         }},
        {"tec", Status, Field::Text, [](S s) -> QVariant { return words::tec(s.reading.tecLocked); },
         [](View t, Source &s) { return word(t, words::tec(true), words::tec(false), s.reading.tecLocked); }},
        {"set_current_A", Command, Field::TwoDecimals, [](S s) -> QVariant { return s.point.currentA(); },
         [](View t, Source &s) {
             double v = 0;
             s.point = withUnits(s.point, number(t, v) ? v : -1.0, s.point.pulseNs(), s.point.freqKHz());
             return s.point.currentSteps >= 0;
         }},
        {"set_pulse_ns", Command, Field::TwoDecimals, [](S s) -> QVariant { return s.point.pulseNs(); },
         [](View t, Source &s) {
             double v = 0;
             s.point = withUnits(s.point, s.point.currentA(), number(t, v) ? v : -1.0, s.point.freqKHz());
             return s.point.pulseSteps >= 0;
         }},
        {"set_freq_kHz", Command, Field::Whole, [](S s) -> QVariant { return s.point.freqKHz(); },
         [](View t, Source &s) {
             int v = 0;
             s.point = withUnits(s.point, s.point.currentA(), s.point.pulseNs(), whole(t, v) ? v : -1.0);
             return s.point.freqSteps >= 0;
         }},
        {"set_trigger", Command, Field::Text, [](S s) -> QVariant { return words::trigger(s.point.externalTrigger); },
         [](View t, Source &s) { return word(t, words::trigger(true), words::trigger(false), s.point.externalTrigger); }},
        {"detail", Event, Field::Text, [](S s) -> QVariant { return s.detail; },
         [](View t, Source &s) {
             s.detail = QString::fromUtf8(t.data(), int(t.size()));
             return true;
         }},
    };
    return table;
}

} // namespace laser::record
