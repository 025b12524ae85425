#include "tray/Playlist.h"

#include <QDir>
#include <QFileInfo>

#include <malloc.h>

#include "core/AnimationLoader.h"
#include "formats/Errors.h"

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
    const int index = int(m_entries.size()) - 1;
    reload(index);
    return index;
}

QString Playlist::reload(int index) {
    PlaylistEntry& entry = m_entries[size_t(index)];
    try {
        entry.animation = TrayAnimation::Load(entry.path);
        // The loader's document is gone; hand its heap back rather than
        // keep it resident for as long as the player runs.
        malloc_trim(0);
        entry.error.clear();
        if (m_current < 0) m_current = index;
        return {};
    } catch (const EZintraError& e) {
        const QString reason = QString::fromLocal8Bit(e.what());
        if (!entry.animation) entry.error = reason;
        return reason;
    }
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
