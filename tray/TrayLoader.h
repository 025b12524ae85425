#pragma once
// Reads animations on a worker thread, so no file, however slow to read,
// holds up the icon or the menu. One read runs at a time, which keeps the
// player within one read's memory. A file asked for again while it is
// being read is read once more when that read ends, and only the newer
// result is delivered: at most one read of a file is under way, the newest
// wins.
#include <QHash>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <optional>

#include "tray/TrayAnimation.h"

struct LoadResult {
    QString path;
    std::optional<TrayAnimation> animation;
    QString error;  // why it could not be read, in words a user can act on
};

class TrayLoader : public QObject {
    Q_OBJECT
public:
    using Reader = std::function<TrayAnimation(const QString& path)>;

    // The reader runs on the worker thread; whatever it throws is caught
    // there and delivered as the file's error.
    explicit TrayLoader(Reader reader = &TrayAnimation::Load, QObject* parent = nullptr);
    // Waits for the read under way; reads not yet begun are dropped.
    ~TrayLoader() override;

    void load(const QString& path);
    bool isIdle() const { return m_reading.isEmpty(); }

signals:
    void loaded(const LoadResult& result);

private:
    void start(const QString& path);
    void finished(LoadResult result);

    Reader m_reader;
    QThreadPool m_pool;
    QHash<QString, bool> m_reading;  // path → asked for again meanwhile
};
