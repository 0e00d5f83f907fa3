#pragma once

#include <QIcon>

// The panel's icon, drawn from the PNGs the build renders from laserpanel.svg
// (app/CMakeLists.txt). A size is read only when something asks for it: on
// start-up nothing does until the window system wants the window's icon.
QIcon panelIcon();
