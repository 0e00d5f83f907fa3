#pragma once

#include "workingpoint.h"

#include <QByteArray>

namespace laser {

constexpr int kFrameSize = 13;

// Host-to-laser frame: A5 5A, trigger, current, temperature, 00 00, pulse width,
// frequency, 00 00, FA FB. Each step goes out as its low 8 bits; range safety
// belongs to the setpoints, not to the encoder.
QByteArray encodeCommandFrame(const WorkingPoint &point);

} // namespace laser
