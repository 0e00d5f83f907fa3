#include "trendmodule.h"

#include <QCoreApplication>
#include <QLibrary>

namespace laser {

MonitorView *createTrendWindow(const TrendData &data, QWidget *parent, QString *why)
{
    static LaserpanelTrendWindow create = nullptr;
    if (!create) {
        // Beside the program in the build tree and on Windows, in the private
        // library folder once installed, or already loaded (a test links it).
        const QString here = QCoreApplication::applicationDirPath();
        QStringList failures;
        for (const QString &name : {here + QLatin1String("/laserpanel-trend"),
                                    here + QLatin1String("/" LASERPANEL_TREND_DIR "/laserpanel-trend"),
                                    QStringLiteral("laserpanel-trend")}) {
            QLibrary library(name);
            create = reinterpret_cast<LaserpanelTrendWindow>(library.resolve(LASERPANEL_TREND_WINDOW));
            if (create)
                break;
            failures << library.errorString();
        }
        if (!create) {
            if (why)
                *why = failures.join(QStringLiteral("; "));
            return nullptr;
        }
    }
    return create(data, parent);
}

} // namespace laser
