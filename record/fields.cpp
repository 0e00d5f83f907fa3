#include "fields.h"

#include "statusdecode.h"
#include "words.h"

namespace laser::record {

const std::vector<Field> &fields()
{
    using S = const Source &;
    static const std::vector<Field> table{
        {"time", Every, Field::Text, [](S s) -> QVariant { return s.time; }},
        {"kind", Every, Field::Text, [](S s) -> QVariant { return s.word; }},
        {"current_A", Status, Field::TwoDecimals, [](S s) -> QVariant { return s.reading.currentA; }},
        // Outside the calibration there is no temperature to record.
        {"temperature_C", Status, Field::Whole,
         [](S s) { return s.reading.temperatureC == kTemperatureOutOfRange ? QVariant() : QVariant(s.reading.temperatureC); }},
        {"trigger", Status, Field::Text, [](S s) -> QVariant { return words::trigger(s.reading.externalTrigger); }},
        {"pump_supply", Status, Field::Text, [](S s) -> QVariant { return words::pumpSupply(s.reading.pumpSupplyNormal); }},
        {"tec", Status, Field::Text, [](S s) -> QVariant { return words::tec(s.reading.tecLocked); }},
        {"set_current_A", Command, Field::TwoDecimals, [](S s) -> QVariant { return s.point.currentA(); }},
        {"set_pulse_ns", Command, Field::TwoDecimals, [](S s) -> QVariant { return s.point.pulseNs(); }},
        {"set_freq_kHz", Command, Field::Whole, [](S s) -> QVariant { return s.point.freqKHz(); }},
        {"set_trigger", Command, Field::Text, [](S s) -> QVariant { return words::trigger(s.point.externalTrigger); }},
        {"detail", Event, Field::Text, [](S s) -> QVariant { return s.detail; }},
    };
    return table;
}

} // namespace laser::record
