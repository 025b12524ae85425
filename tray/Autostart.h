#pragma once
// "Start at login": the desktop's autostart entry for the player,
// $XDG_CONFIG_HOME/autostart/zintra-tray.desktop.
#include <QString>

namespace Autostart {
QString EntryPath();
bool IsEnabled();
// Writes an entry that starts this program, or removes it; false when the
// file cannot be written or removed.
bool SetEnabled(bool enabled, const QString& program);
}  // namespace Autostart
