#pragma once
// Tells when a played file changes on disk. The editor saves by renaming a
// new file over the old one, which a watch on the file alone misses, so the
// file's folder is watched as well, and the folder's parent, so a folder
// deleted and made again is watched again. A change is reported once things
// have been quiet for a moment, so a save in progress is not read
// half-written.
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <sys/stat.h>

class FileChangeWatcher : public QObject {
    Q_OBJECT
public:
    explicit FileChangeWatcher(QObject* parent = nullptr);

    // Watches these files, forgetting any others.
    void setFiles(const QStringList& paths);

signals:
    void fileChanged(const QString& path);

private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        bool operator==(const Stamp& o) const;
    };
    static Stamp StampOf(const QString& path);
    // Adds a watch on every file, folder and parent that exists and has none.
    void watchWhatExists();
    void check();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QHash<QString, Stamp> m_stamps;
};
