#include "firmware.h"

namespace laser {

const Variant *variantNamed(const QString &name)
{
    for (const Variant &v : kVariants)
        if (name == QLatin1String(v.name))
            return &v;
    return nullptr;
}

} // namespace laser
