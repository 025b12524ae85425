#pragma once
// The frames of an animation as an icon theme in a folder, so a
// StatusNotifierItem panel loads each frame itself at the size it draws
// (IconName with IconThemePath) instead of scaling the largest pixmap it was
// sent. Each distinct frame is one icon, named after its pixels, so frames
// that repeat share it; a name never changes what it shows, so a panel's
// cache of names cannot show a stale frame.
//
// Panels look an icon up as the icon theme rules say: a directory whose
// size (or size range) matches exactly wins, the nearest size among them
// first. The frame enlarged by whole pixels is drawn at the sizes panels ask
// for by name (16, 22, 24, 32, 48, 64); the 16, 32, 48 and 64 pixel pictures
// also match every size up to the next multiple of 16, so a panel that
// centres a smaller icon (xfce4-panel) shows it exact at any size from 16 on.
#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

class FrameTheme {
public:
    // Beyond this many distinct frames the pictures would cost too much
    // memory in the runtime folder (a page for each file); the panel then
    // gets pixmaps only and scales them itself.
    static constexpr size_t kMostFrames = 256;

    // The theme lives in folder/icons, made anew; nothing is written yet.
    explicit FrameTheme(QString folder);
    ~FrameTheme();
    FrameTheme(const FrameTheme&) = delete;
    FrameTheme& operator=(const FrameTheme&) = delete;

    // Writes the pictures of every distinct frame; false, with nothing
    // written, when there are too many or the folder cannot be written.
    bool write(const std::vector<QImage>& frames);
    // The IconThemePath panels are given; it ends in "icons", as KDE's
    // panel expects of an application's icon folder.
    QString themePath() const;
    // The icon name of each frame, in the order written.
    const QStringList& names() const { return m_names; }

private:
    QString m_folder;
    QStringList m_names;
};

// The icon name of a 16×16 frame: the same pixels, the same name.
QString FrameIconName(const QImage& frame);
