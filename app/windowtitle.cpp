// The window's title: the program and its variant, then what lasts.
#include "mainwindow.h"

#include "portwatcher.h"
#include "variant.h"

namespace {
// The title translates without its variant, which every language keeps.
constexpr char kTitleSource[] = QT_TRANSLATE_NOOP("MainWindow", "单模光纤激光器控制软件");

constexpr bool isTitle(const char *title, const char *source, const char *variant)
{
    while (*source)
        if (*title++ != *source++)
            return false;
    if (*title++ != ' ')
        return false;
    while (*variant)
        if (*title++ != *variant++)
            return false;
    return *title == '\0';
}
// Without a catalogue the window keeps the form's title (CMake's LASERPANEL_TITLE).
static_assert(isTitle(variant::kTitle, kTitleSource, variant::kName),
              "kTitleSource must match LASERPANEL_TITLE_SOURCE in CMakeLists.txt");
} // namespace

void MainWindow::updateTitle()
{
    QStringList parts{tr(kTitleSource) + QLatin1Char(' ') + QLatin1String(variant::kName)};
    if (portWatcher->isWatching())
        parts << tr("等待重新连接");
    setWindowTitle(parts.join(QStringLiteral(" — ")));
}
