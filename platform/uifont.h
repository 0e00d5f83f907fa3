#pragma once

#include <QFont>

namespace platform {

// The font for the panel's texts, given the desktop's. Kept when its family
// draws Chinese; otherwise the same font in a family that draws both Chinese
// and Latin, where one is installed. Call once a QGuiApplication exists.
QFont fontForChineseAndLatin(const QFont &desktop);

} // namespace platform
