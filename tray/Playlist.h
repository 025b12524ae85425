#pragma once
// The animations the player was given, in order, each either loaded or
// with the reason it could not be read, and which one is playing.
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "tray/TrayAnimation.h"

struct PlaylistEntry {
    QString path;
    std::optional<TrayAnimation> animation;
    QString error;  // why the last read failed; cleared by one that succeeds

    // Read at least once, whether it could be played or not.
    bool isRead() const { return animation || !error.isEmpty(); }
};

class Playlist {
public:
    // Files as they are and every ".zn" and ".ani" file of a folder, sorted
    // by name; all made absolute.
    static QStringList Expand(const QStringList& paths);

    // Adds the file, not yet read, unless the list holds it already;
    // returns its index.
    int add(const QString& path);
    // What a read of the entry's file gave. On failure an entry that had an
    // animation keeps it.
    void setRead(int index, const std::optional<TrayAnimation>& animation, const QString& error);

    const std::vector<PlaylistEntry>& entries() const { return m_entries; }
    int indexOf(const QString& path) const;
    // The entry playing, or -1 when none can be played.
    int current() const { return m_current; }
    const PlaylistEntry* currentEntry() const;
    // Makes a playable entry current; false for one that cannot be played.
    bool setCurrent(int index);
    // The next (+1) or previous (-1) playable entry, round the list.
    void step(int direction);
    QStringList paths() const;

private:
    std::vector<PlaylistEntry> m_entries;
    int m_current = -1;
};
