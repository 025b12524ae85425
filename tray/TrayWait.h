#pragma once
// Shows the player's icon once a system tray is there, and until then tells
// the user at once, on standard error and in a desktop notification, what
// is missing and what provides it. An XEmbed tray that comes later is seen
// by asking again. A StatusNotifierItem panel Qt looks for only when the
// player starts, so when one comes later (a panel that starts after the
// player at login, GNOME's AppIndicator extension switched on) the player
// saves its list and starts again in its own place, and finds it.
#include <QObject>
#include <QTimer>

class TrayPlayer;

class TrayWait : public QObject {
    Q_OBJECT
public:
    explicit TrayWait(TrayPlayer& player, QObject* parent = nullptr);

private slots:
    // Slots, as the bus connects them by name.
    void watcherRegistered();
    void startAgain();

private:
    void poll();

    TrayPlayer& m_player;
    QTimer m_poll;
};
