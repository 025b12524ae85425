#include "tray/TrayWait.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QSystemTrayIcon>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "tray/DesktopNotification.h"
#include "tray/TrayPlayer.h"

namespace {

constexpr int kPollMs = 250;
constexpr int kAnswerMs = 1000;
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

const QString kNoTray = QStringLiteral(
    "No system tray is running. zintra-tray shows its animation in a system tray: start a panel with "
    "a notification area, or on GNOME install the AppIndicator extension.");

// A watcher is a panel's only once a host (the panel's tray) has registered with it.
bool StatusNotifierHostRegistered(QDBusConnection bus) {
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kAnswerMs);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

}  // namespace

TrayWait::TrayWait(TrayPlayer& player, QObject* parent) : QObject(parent), m_player(player) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_player.show();
        return;
    }
    std::fprintf(stderr, "zintra-tray: %s\n", qPrintable(kNoTray));
    SendDesktopNotification(QStringLiteral("No system tray"), kNoTray);
    connect(&m_poll, &QTimer::timeout, this, &TrayWait::poll);
    m_poll.start(kPollMs);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    auto* watcher = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &TrayWait::watcherRegistered);
    bus.connect(kWatcher, kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(startAgain()));
}

void TrayWait::poll() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    m_poll.stop();
    m_player.show();
}

void TrayWait::watcherRegistered() {
    if (StatusNotifierHostRegistered(QDBusConnection::sessionBus())) startAgain();
}

void TrayWait::startAgain() {
    m_player.save();
    // With nothing named, the new start plays the list just saved.
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    char* const arguments[] = {const_cast<char*>(program.constData()), nullptr};
    ::execv(program.constData(), arguments);
    std::fprintf(stderr, "zintra-tray: cannot start again to use the panel that came: %s\n", std::strerror(errno));
}
