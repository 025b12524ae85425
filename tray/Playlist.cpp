#include "tray/Playlist.h"

#include <QDir>
#include <QFileInfo>

#include "core/AnimationLoader.h"

QStringList Playlist::Expand(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.isDir()) {
            files << info.absoluteFilePath();
            continue;
        }
        const QDir folder(info.absoluteFilePath());
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
            if (KindOfPath(QFile::encodeName(name).toStdString()) != AnimationKind::Other)
                files << folder.absoluteFilePath(name);
    }
    return files;
}

int Playlist::indexOf(const QString& path) const {
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].path == path) return int(i);
    return -1;
}

int Playlist::add(const QString& path) {
    const int known = indexOf(path);
    if (known >= 0) return known;
    m_entries.push_back({path, std::nullopt, QString()});
    return int(m_entries.size()) - 1;
}

void Playlist::setRead(int index, const std::optional<TrayAnimation>& animation, const QString& error) {
    PlaylistEntry& entry = m_entries[size_t(index)];
    entry.error = error;
    if (animation) entry.animation = animation;
}

const PlaylistEntry* Playlist::currentEntry() const {
    return m_current < 0 ? nullptr : &m_entries[size_t(m_current)];
}

bool Playlist::setCurrent(int index) {
    if (index < 0 || index >= int(m_entries.size()) || !m_entries[size_t(index)].animation) return false;
    m_current = index;
    return true;
}

void Playlist::step(int direction) {
    const int count = int(m_entries.size());
    for (int i = 1; i <= count; ++i)
        if (setCurrent(((m_current + direction * i) % count + count) % count)) return;
}

QStringList Playlist::paths() const {
    QStringList result;
    for (const PlaylistEntry& entry : m_entries) result << entry.path;
    return result;
}
