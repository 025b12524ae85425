#include "tray/Autostart.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
// Exec= quoting of the desktop entry format: a path with a space or a
// reserved character goes in double quotes, with ", `, $ and \ escaped.
QString ExecArgument(QString path) {
    path.replace(QLatin1String("%"), QLatin1String("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); })) return path;
    for (const char* c : {"\\", "\"", "`", "$"}) path.replace(QLatin1String(c), QLatin1String("\\") + QLatin1String(c));
    // Inside a desktop entry's string value the backslashes are themselves escaped.
    path.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QLatin1Char('"') + path + QLatin1Char('"');
}
}  // namespace

QString Autostart::EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/zintra-tray.desktop");
}

bool Autostart::IsEnabled() { return QFileInfo::exists(EntryPath()); }

bool Autostart::SetEnabled(bool enabled, const QString& program) {
    const QString path = EntryPath();
    if (!enabled) return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    file.write("[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Zintra Tray Player\n"
               "Comment=Plays Zintra animations in the system tray\n"
               "Exec=" + ExecArgument(program).toUtf8() + "\n"
               "Icon=zintra-editor\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n");
    return file.commit();
}
