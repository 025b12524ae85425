#pragma once
// The player in the tray: the icon that shows the frames, its menu, and
// the list of animations with the file watcher that keeps them fresh.
#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QMenu>
#include <QObject>

#include "tray/FileChangeWatcher.h"
#include "tray/FramePlayer.h"
#include "tray/Playlist.h"
#include "tray/TrayIcon.h"
#include "tray/TrayLoader.h"

class TrayPlayer : public QObject {
    Q_OBJECT
public:
    explicit TrayPlayer(const QIcon& applicationIcon, QObject* parent = nullptr);

    // Adds files and folders to the list and, once they are read, plays the
    // first of them that can be played; those that cannot are reported.
    // The list is kept for the next start without arguments.
    void addFiles(const QStringList& paths);
    // What was played last time, as it was saved.
    void restore();
    void show();
    // The list and the animation playing, for the next start.
    void save() const;
    // A file is being read.
    bool isReading() const { return !m_loader.isIdle(); }

private:
    // Files just added, and the one among them to play once it is read
    // (else the first that can be played).
    struct Choice {
        QStringList files;
        QString preferred;
    };

    void open(const QStringList& files, const QString& preferred);
    // Plays what the pending choice names once enough of it is read;
    // true when it did.
    bool choose();
    void buildMenu();
    void showCurrent();
    void refresh();
    // On standard error, and in a tray message once the icon is shown.
    void report(const QStringList& problems);
    void showMessage(const QStringList& problems);

    // Handlers, named after what sends them.
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    void frameChanged(int frame);
    void pauseTriggered();
    void animationTriggered(int index);
    void openTriggered();
    void editTriggered();
    void startAtLoginToggled(bool enabled);
    void fileChanged(const QString& path);
    void fileLoaded(const LoadResult& result);

    QIcon m_applicationIcon;
    Playlist m_playlist;
    Choice m_choice;
    QStringList m_readProblems;  // reported together once the reads are done
    FramePlayer m_player;
    FileChangeWatcher m_watcher;
    TrayIcon m_tray;
    QMenu m_menu;
    QMenu m_animationsMenu;
    QActionGroup m_animationGroup{this};
    QAction* m_header = nullptr;
    QAction* m_pause = nullptr;
    QAction* m_next = nullptr;
    QAction* m_previous = nullptr;
    QAction* m_edit = nullptr;
    QAction* m_startAtLogin = nullptr;
    QStringList m_pendingProblems;  // found before the icon was shown
    // Last: destroyed first, so no read ends into a player half gone.
    TrayLoader m_loader;
};
