#include "tray/TrayPlayer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

#include "tray/Autostart.h"

namespace {

constexpr int kMessageMs = 10000;
const QString kFilesKey = QStringLiteral("files");
const QString kCurrentKey = QStringLiteral("current");

QString FileName(const QString& path) { return QFileInfo(path).fileName(); }

QString Seconds(PlaybackSchedule::Time time) {
    return QString::number(std::chrono::duration<double>(time).count(), 'f', 2) + QStringLiteral(" s");
}

// Beside this program first, so an installed or built pair finds each other.
QString EditorProgram() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("zintra-editor"));
    if (QFileInfo(beside).isExecutable()) return beside;
    return QStandardPaths::findExecutable(QStringLiteral("zintra-editor"));
}

}  // namespace

TrayPlayer::TrayPlayer(const QIcon& applicationIcon, QObject* parent)
    : QObject(parent), m_applicationIcon(applicationIcon) {
    buildMenu();
    m_tray.setIcon(m_applicationIcon);
    connect(&m_tray, &TrayIcon::activated, this, &TrayPlayer::trayActivated);
    connect(&m_player, &FramePlayer::frameChanged, this, &TrayPlayer::frameChanged);
    connect(&m_watcher, &FileChangeWatcher::fileChanged, this, &TrayPlayer::fileChanged);
    connect(&m_loader, &TrayLoader::loaded, this, &TrayPlayer::fileLoaded);
    refresh();
}

void TrayPlayer::buildMenu() {
    m_header = m_menu.addAction(QString());
    m_header->setEnabled(false);
    m_menu.addSeparator();
    m_pause = m_menu.addAction(QStringLiteral("Pause"), this, &TrayPlayer::pauseTriggered);
    m_next = m_menu.addAction(QStringLiteral("Next animation"), this, [this] {
        m_choice = {};  // the user's choice wins over files still being read
        m_playlist.step(+1);
        showCurrent();
    });
    m_previous = m_menu.addAction(QStringLiteral("Previous animation"), this, [this] {
        m_choice = {};
        m_playlist.step(-1);
        showCurrent();
    });
    m_animationsMenu.setTitle(QStringLiteral("Animations"));
    m_animationsMenu.setToolTipsVisible(true);
    m_menu.addMenu(&m_animationsMenu);
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("Open…"), this, &TrayPlayer::openTriggered);
    m_edit = m_menu.addAction(QStringLiteral("Edit in Zintra Editor"), this, &TrayPlayer::editTriggered);
    m_startAtLogin = m_menu.addAction(QStringLiteral("Start at login"));
    m_startAtLogin->setCheckable(true);
    m_startAtLogin->setChecked(Autostart::IsEnabled());
    connect(m_startAtLogin, &QAction::toggled, this, &TrayPlayer::startAtLoginToggled);
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);
    // Set once the submenu exists: the tray's own menu is built from both.
    m_tray.setContextMenu(&m_menu);
}

void TrayPlayer::addFiles(const QStringList& paths) { open(Playlist::Expand(paths), QString()); }

void TrayPlayer::restore() {
    const QSettings settings;
    open(Playlist::Expand(settings.value(kFilesKey).toStringList()), settings.value(kCurrentKey).toString());
}

void TrayPlayer::open(const QStringList& files, const QString& preferred) {
    if (files.isEmpty()) return;  // a later start with nothing named changes nothing
    for (const QString& file : files) {
        const bool known = m_playlist.indexOf(file) >= 0;
        const int index = m_playlist.add(file);
        // One that failed before is read again: it may have been mended.
        if (!known || !m_playlist.entries()[size_t(index)].animation) m_loader.load(file);
    }
    m_choice = {files, preferred};
    m_watcher.setFiles(m_playlist.paths());
    save();
    if (!choose()) refresh();
}

bool TrayPlayer::choose() {
    if (m_choice.files.isEmpty()) return false;
    const auto& entries = m_playlist.entries();
    const int preferred = m_playlist.indexOf(m_choice.preferred);
    int chosen = -1;
    if (preferred >= 0 && !entries[size_t(preferred)].isRead()) return false;
    if (preferred >= 0 && entries[size_t(preferred)].animation) {
        chosen = preferred;
    } else {
        for (const QString& file : m_choice.files) {
            const int index = m_playlist.indexOf(file);
            if (!entries[size_t(index)].isRead()) return false;
            if (entries[size_t(index)].animation) {
                chosen = index;
                break;
            }
        }
    }
    m_choice = {};
    if (chosen < 0) return false;  // none of them plays: what played goes on
    m_playlist.setCurrent(chosen);
    showCurrent();
    return true;
}

void TrayPlayer::show() {
    m_tray.show();
    if (!m_pendingProblems.isEmpty()) showMessage(std::exchange(m_pendingProblems, {}));
}

void TrayPlayer::showCurrent() {
    const PlaylistEntry* entry = m_playlist.currentEntry();
    if (entry) {
        m_tray.setAnimation(entry->animation->frames);
        m_player.play(entry->animation->rates);
    } else {
        m_tray.setIcon(m_applicationIcon);
    }
    m_watcher.setFiles(m_playlist.paths());
    refresh();
    save();
}

void TrayPlayer::refresh() {
    const PlaylistEntry* entry = m_playlist.currentEntry();
    const TrayAnimation* animation = entry ? &*entry->animation : nullptr;
    const QString title = !animation ? QString()
                          : animation->title.trimmed().isEmpty() ? FileName(entry->path)
                                                                 : animation->title;
    m_header->setText(title);
    m_header->setVisible(animation);
    m_pause->setText(m_player.isPaused() ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    m_pause->setEnabled(animation);
    m_edit->setEnabled(animation);
    int playable = 0;
    for (const PlaylistEntry& e : m_playlist.entries()) playable += e.animation.has_value();
    m_next->setEnabled(playable > 1);
    m_previous->setEnabled(playable > 1);

    m_animationsMenu.clear();  // deletes the entries' actions, which leave the group
    const auto& entries = m_playlist.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        QAction* action = m_animationsMenu.addAction(FileName(entries[i].path));
        action->setCheckable(true);
        action->setChecked(int(i) == m_playlist.current());
        action->setEnabled(entries[i].animation.has_value());
        action->setToolTip(entries[i].error);
        action->setStatusTip(entries[i].error);
        m_animationGroup.addAction(action);
        // Queued: the switch rebuilds this menu, entry included.
        connect(action, &QAction::triggered, this, [this, i] { animationTriggered(int(i)); }, Qt::QueuedConnection);
    }
    m_animationsMenu.setEnabled(!entries.empty());

    QStringList tip;
    if (animation) {
        tip << title;
        if (!animation->author.trimmed().isEmpty()) tip << QStringLiteral("by ") + animation->author;
        tip << Seconds(m_player.schedule().loopLength()) + QStringLiteral(" loop");
        if (m_player.isPaused()) tip << QStringLiteral("Paused");
        // The last read failed: what plays is what was read before.
        if (!entry->error.isEmpty()) tip << FileName(entry->path) + QStringLiteral(": ") + entry->error;
    } else {
        tip << QStringLiteral("Zintra Tray Player");
    }
    m_tray.setToolTip(tip.join(QLatin1Char('\n')));
}

void TrayPlayer::report(const QStringList& problems) {
    if (problems.isEmpty()) return;
    for (const QString& problem : problems) std::fprintf(stderr, "zintra-tray: %s\n", qPrintable(problem));
    if (m_tray.isVisible()) showMessage(problems);
    else m_pendingProblems << problems;
}

void TrayPlayer::showMessage(const QStringList& problems) {
    m_tray.showMessage(QStringLiteral("zintra-tray"), problems.join(QLatin1Char('\n')), kMessageMs);
}

void TrayPlayer::save() const {
    QSettings settings;
    settings.setValue(kFilesKey, m_playlist.paths());
    const PlaylistEntry* entry = m_playlist.currentEntry();
    // Files still being read keep the choice they were given.
    settings.setValue(kCurrentKey, entry ? entry->path : m_choice.preferred);
}

void TrayPlayer::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && m_playlist.currentEntry()) pauseTriggered();
}

void TrayPlayer::frameChanged(int frame) {
    m_tray.setFrame(size_t(frame));
}

void TrayPlayer::pauseTriggered() {
    m_player.setPaused(!m_player.isPaused());
    refresh();
}

void TrayPlayer::animationTriggered(int index) {
    m_choice = {};
    m_playlist.setCurrent(index);
    showCurrent();
}

void TrayPlayer::openTriggered() {
    const PlaylistEntry* entry = m_playlist.currentEntry();
    const QStringList files = QFileDialog::getOpenFileNames(
        nullptr, QStringLiteral("Open"), entry ? QFileInfo(entry->path).absolutePath() : QDir::homePath(),
        QStringLiteral("Animations (*.zn *.ani);;Zintras (*.zn);;Animated Cursors (*.ani)"));
    if (!files.isEmpty()) addFiles(files);
}

void TrayPlayer::editTriggered() {
    const PlaylistEntry* entry = m_playlist.currentEntry();
    if (!entry) return;
    const QString editor = EditorProgram();
    if (editor.isEmpty() || !QProcess::startDetached(editor, {entry->path}))
        report({QStringLiteral("zintra-editor could not be started")});
}

void TrayPlayer::startAtLoginToggled(bool enabled) {
    if (!Autostart::SetEnabled(enabled, QCoreApplication::applicationFilePath()))
        report({Autostart::EntryPath() + QStringLiteral(" could not be ") +
                (enabled ? QStringLiteral("written") : QStringLiteral("removed"))});
    const QSignalBlocker block(m_startAtLogin);
    m_startAtLogin->setChecked(Autostart::IsEnabled());
}

void TrayPlayer::fileChanged(const QString& path) {
    if (m_playlist.indexOf(path) >= 0) m_loader.load(path);
}

void TrayPlayer::fileLoaded(const LoadResult& result) {
    const int index = m_playlist.indexOf(result.path);
    if (index < 0) return;
    const PlaylistEntry& entry = m_playlist.entries()[size_t(index)];
    const bool hadAnimation = entry.animation.has_value();
    const QString lastError = entry.error;
    m_playlist.setRead(index, result.animation, result.error);
    if (result.error.isEmpty()) {
        // A file mended while nothing plays starts playing.
        if (m_choice.files.isEmpty() && !m_playlist.currentEntry()) m_playlist.setCurrent(index);
    } else if (result.error != lastError) {  // one that keeps failing alike is not told again
        m_readProblems << FileName(result.path) + QStringLiteral(": ") + result.error +
                              (hadAnimation ? QStringLiteral("\nKeeping what was read before.") : QString());
    }
    if (!choose()) {
        if (result.animation && index == m_playlist.current()) showCurrent();
        else refresh();
    }
    if (m_loader.isIdle()) report(std::exchange(m_readProblems, {}));
}
