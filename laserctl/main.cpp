// laserctl: the laser from a shell. Lists ports, finds lasers, prints and
// records status frames, sends setpoints, with the panel's own link code.
#include "cli.h"
#include "commandtable.h"
#include "quitsignals.h"
#include "reading.h"
#include "timezone.h"

int main(int argc, char **argv)
{
    platform::pinTimeZone();
    // Qt's own event loop costs less per wake-up than GLib's, and at the
    // line's full rate laserctl wakes up for every frame.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("laserctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LASERCTL_VERSION));
    qRegisterMetaType<laser::Reading>();
    // Where they cannot be caught they keep their default action.
    platform::quitOnSignals(app);

    cli::Options o;
    const int parsed = cli::parse(app, o);
    if (parsed >= 0)
        return parsed;
    return cli::command(o.command)->run(app, o);
}
