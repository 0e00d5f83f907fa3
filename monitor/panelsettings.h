#pragma once
// The operator's choices that outlive the panel (the port, the link log's
// filter): one file beside the panel's other configuration.
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace laser {
inline QString panelSettingsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("laserpanel/panel.ini"));
}
struct PanelSettings : QSettings {
    PanelSettings() : QSettings(panelSettingsPath(), QSettings::IniFormat) {}
};
} // namespace laser
