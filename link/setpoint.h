#pragma once

#include <QString>

namespace setpoint {

// Scroll-bar steps per operator unit.
constexpr double kCurrentStepsPerAmp = 5.0;
constexpr double kPulseStepsPerNs = 4.0;
constexpr int kTemperatureByte = 34;

// What a typed setpoint becomes. `member` is the window's setpoint in steps and
// always lies inside [min, max]; `position` is where the scroll bar goes. When
// the typed value fell outside the range, `clamped` says the text must be
// replaced by the bound's canonical text.
struct Typed {
    double member;
    int position;
    bool clamped;
};

// A decimal field (current, pulse width): the typed number times stepsPerUnit.
// Text that does not convert counts as 0; NaN goes to the minimum.
Typed fromDecimalText(const QString &text, double stepsPerUnit, int min, int max);

// The frequency field: a base-10 integer in kHz, divided by kHzPerStep with
// truncation. Text that does not convert counts as 0; an integer too long for
// an int goes to the bound on its side.
Typed fromFrequencyText(const QString &text, int kHzPerStep, int min, int max);

// Canonical texts of a scroll-bar position.
QString decimalText(int position, double stepsPerUnit);
QString frequencyText(int position, int kHzPerStep);

// Double setpoint to the whole steps a command carries.
int commandSteps(double member);

} // namespace setpoint
