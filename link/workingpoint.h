#pragma once

#include "firmware.h"
#include "setpoint.h"

#include <QMetaType>

namespace laser {

// What one command frame asks of the laser, in the whole steps it carries,
// with the frequency step of the variant that reads them. The window, the
// session, the store, the record, the script server and laserctl all hold a
// working point so; its operator units come from here alone.
struct WorkingPoint {
    bool externalTrigger = false;
    int currentSteps = kCurrentMinSteps;
    int temperatureByte = setpoint::kTemperatureByte;
    int pulseSteps = kPulseInitialSteps;
    int freqSteps = kFreqMinSteps;
    int kHzPerStep = 0;

    double currentA() const { return currentSteps / setpoint::kCurrentStepsPerAmp; }
    double pulseNs() const { return pulseSteps / setpoint::kPulseStepsPerNs; }
    int freqKHz() const { return freqSteps * kHzPerStep; }
};

// What the panel sends before anything was set: 0.00 A, 5.00 ns, the
// variant's first frequency, internal trigger.
WorkingPoint initialPoint(const Variant &variant);

// A point written in operator units (the store, a JSON command): current and
// pulse width to the nearest step, the frequency to the step below, as the
// panel's field takes it. A value no frame byte holds becomes -1.
WorkingPoint pointFromUnits(bool externalTrigger, double currentA, double pulseNs, double freqKHz, int kHzPerStep);

} // namespace laser

Q_DECLARE_METATYPE(laser::WorkingPoint)
