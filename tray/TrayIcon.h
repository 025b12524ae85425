#pragma once
// The player's icon in whichever tray the desktop has, chosen when it is
// shown: where a panel hosts StatusNotifierItems, an item of our own whose
// frames come from a FrameTheme, so the panel draws each exact at its size;
// else Qt's tray icon, which embeds itself in an XEmbed tray and paints the
// frame there at the tray's size (PanelIcon).
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <vector>

#include "tray/FrameTheme.h"
#include "tray/StatusNotifierItem.h"

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    void setContextMenu(QMenu* menu);
    // Shown while no animation plays.
    void setIcon(const QIcon& icon);
    // The frames that setFrame() shows from now on.
    void setAnimation(const std::vector<QImage>& frames);
    void setFrame(size_t index);
    void setToolTip(const QString& tip);

    void show();
    bool isVisible() const;
    void showMessage(const QString& title, const QString& text, int milliseconds);
    // Whether the frames reach the panel as a theme, for tests and notes.
    bool framesByName() const { return m_theme && !m_theme->names().isEmpty(); }

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);

private:
    void writeTheme();

    QMenu* m_menu = nullptr;
    QIcon m_icon;
    QString m_toolTip;
    std::vector<QImage> m_frames;
    bool m_playing = false;
    size_t m_frame = 0;
    std::unique_ptr<StatusNotifierItem> m_item;
    std::unique_ptr<QSystemTrayIcon> m_embedded;
    std::shared_ptr<FrameTheme> m_theme;
    // The theme before, kept a moment: a panel may still be loading from it.
    std::shared_ptr<FrameTheme> m_previousTheme;
    QTimer m_retire;
    int m_themes = 0;
    QThreadPool m_writer;
};
