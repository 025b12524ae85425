#include "tray/FileChangeWatcher.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {
constexpr int kSettleMs = 200;  // well inside the second a reload may take
}

bool FileChangeWatcher::Stamp::operator==(const Stamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

FileChangeWatcher::FileChangeWatcher(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &FileChangeWatcher::check);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
}

FileChangeWatcher::Stamp FileChangeWatcher::StampOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {};
    return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

void FileChangeWatcher::setFiles(const QStringList& paths) {
    QHash<QString, Stamp> stamps;
    for (const QString& path : paths) stamps.insert(path, m_stamps.value(path, StampOf(path)));
    m_stamps = stamps;
    if (!m_watcher.files().isEmpty()) m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
    watchWhatExists();
}

void FileChangeWatcher::watchWhatExists() {
    QStringList wanted;
    for (const QString& path : m_stamps.keys()) {
        const QString folder = QFileInfo(path).absolutePath();
        wanted << path << folder << QFileInfo(folder).absolutePath();
    }
    wanted.removeDuplicates();
    // A watch ends with what it watches; a path made again needs a new one.
    const QStringList watchedList = m_watcher.files() + m_watcher.directories();
    const QSet<QString> watched(watchedList.cbegin(), watchedList.cend());
    QStringList missing;
    for (const QString& path : wanted)
        if (!watched.contains(path) && QFileInfo::exists(path)) missing << path;
    if (!missing.isEmpty()) m_watcher.addPaths(missing);
}

void FileChangeWatcher::check() {
    // Watched first, so a change made after the look below is not missed.
    watchWhatExists();
    QStringList changed;
    for (auto it = m_stamps.begin(); it != m_stamps.end(); ++it) {
        const Stamp now = StampOf(it.key());
        if (now == it.value()) continue;
        it.value() = now;
        changed << it.key();
    }
    for (const QString& path : changed) emit fileChanged(path);
}
