#include "tray/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

bool SendDesktopNotification(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("zintra-tray")}};
    // app name, id to replace (none), icon, summary, body, actions, hints,
    // timeout (the server's own)
    notify << QStringLiteral("zintra-tray") << 0u << QStringLiteral("zintra-editor") << summary << body
           << QStringList() << hints << -1;
    return bus.send(notify);
}
