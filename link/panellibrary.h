#pragma once

#include <QFunctionPointer>
#include <QString>

namespace laser {

// The panel's parts that load when first needed rather than with the panel
// (the trend window, the script server). `entry` of the library named, found
// beside the program (the build tree, Windows), in the private library folder
// once installed, or already loaded (a program that links it). Null, with the
// reason in *why, when none of these gives it.
QFunctionPointer panelLibraryEntry(const char *library, const char *entry, QString *why);

} // namespace laser
