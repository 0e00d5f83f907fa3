#pragma once

#include <QString>

// The two firmware versions and the setpoint ranges in scroll-bar steps: the
// panel's form, the build's variant and laserctl all take them from here.
namespace laser {

struct Variant {
    const char *name;
    int kHzPerStep;
    int maxSteps;       // the frequency scroll bar runs from 1 to this
    int initialSteps;   // the frequency before anything is sent
};

constexpr Variant kVariants[] = {
    {"v1.3", 10, 100, 30},
    {"v1.2", 100, 10, 3},
};

constexpr bool sameName(const char *a, const char *b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

// -1 for a name that is neither v1.3 nor v1.2.
constexpr int variantIndex(const char *name)
{
    for (int i = 0; i < int(sizeof kVariants / sizeof kVariants[0]); ++i)
        if (sameName(kVariants[i].name, name))
            return i;
    return -1;
}
// Null for a name that is neither v1.3 nor v1.2.
const Variant *variantNamed(const QString &name);

// The variant this program was built for (link/buildvariant.cpp, one per variant).
const Variant &buildVariant();

// Scroll-bar ranges of the current and pulse-width setpoints.
constexpr int kCurrentMinSteps = 0;
constexpr int kCurrentMaxSteps = 35;
constexpr int kPulseMinSteps = 12;
constexpr int kPulseMaxSteps = 60;
constexpr int kPulseInitialSteps = 20;
constexpr int kFreqMinSteps = 1;

} // namespace laser
