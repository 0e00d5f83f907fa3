#include "workingpoint.h"

#include <cmath>

namespace laser {

namespace {
int byteSteps(double steps)
{
    return steps >= 0 && steps <= 255 ? int(steps) : -1;
}
} // namespace

WorkingPoint initialPoint(const Variant &variant)
{
    WorkingPoint p;
    p.freqSteps = variant.initialSteps;
    p.kHzPerStep = variant.kHzPerStep;
    return p;
}

WorkingPoint pointFromUnits(bool externalTrigger, double currentA, double pulseNs, double freqKHz, int kHzPerStep)
{
    WorkingPoint p;
    p.externalTrigger = externalTrigger;
    // Two decimals of a step come back a hair off it.
    p.currentSteps = byteSteps(std::round(currentA * setpoint::kCurrentStepsPerAmp));
    p.pulseSteps = byteSteps(std::round(pulseNs * setpoint::kPulseStepsPerNs));
    p.freqSteps = kHzPerStep > 0 ? byteSteps(std::floor(freqKHz / kHzPerStep)) : -1;
    p.kHzPerStep = kHzPerStep;
    return p;
}

} // namespace laser
