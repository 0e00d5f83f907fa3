#include "uifont.h"

namespace platform {

// Windows links a Chinese font to its UI fonts without a search of its own.
QFont fontForChineseAndLatin(const QFont &desktop)
{
    return desktop;
}

} // namespace platform
