// The window title: the program's name in the interface's language, the
// variant, and what lasts.
#include "mainwindow.h"

#include "monitor.h"
#include "portwatcher.h"
#include "variant.h"

#include <QAction>

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
    QString title = tr(kTitleSource) + QLatin1Char(' ') + QLatin1String(variant::kName);
    if (portWatcher && portWatcher->isWatching())
        title += QStringLiteral(" — ") + tr("等待重新连接");
    // A recording and scripts' commands last: the message line that said
    // so at the start is soon overwritten.
    if (monitor && monitor->isRecording())
        title += QStringLiteral(" — ") + tr("记录中");
    if (allowScripts && allowScripts->isChecked())
        title += QStringLiteral(" — ") + tr("允许脚本");
    setWindowTitle(title);
}
