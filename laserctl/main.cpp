// laserctl: the laser from a shell. Lists ports, finds lasers, prints and
// records status frames, sends setpoints, with the panel's own link code.
#include "cli.h"
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
    if (o.command == QLatin1String("ports"))
        return cli::ports();
    if (o.command == QLatin1String("detect"))
        return cli::detect(app, o);
    if (o.command == QLatin1String("status"))
        return cli::status(app, o);
    if (o.command == QLatin1String("monitor"))
        return cli::monitor(app, o);
    if (o.command == QLatin1String("panels"))
        return cli::panels();
    return cli::set(app, o);
}
