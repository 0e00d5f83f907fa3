// The one file of the link built once per firmware variant.
#include "firmware.h"

#include "variant.h"

namespace laser {

// CMake writes the form's frequency range from the same numbers; a build whose
// variant disagrees with the table does not compile.
constexpr int kBuilt = variantIndex(variant::kName);
static_assert(kBuilt >= 0 && kVariants[kBuilt].kHzPerStep == variant::kFreqStepKHz
                  && kVariants[kBuilt].maxSteps == variant::kFreqMaxSteps
                  && kVariants[kBuilt].initialSteps == variant::kFreqInitialSteps,
              "CMake's variant numbers differ from laser::kVariants");

const Variant &buildVariant()
{
    return kVariants[kBuilt];
}

} // namespace laser
