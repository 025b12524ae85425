#pragma once
// The player's icon as a StatusNotifierItem of its own on the session bus,
// the tray protocol of current panels. Qt's tray icon speaks it too, but
// offers the panel pixmaps only (IconThemePath is not among its
// properties), and xfce4-panel and waybar keep the largest and scale it.
// This item names each frame in a FrameTheme as well, so the panel loads
// the frame at the size it draws; the pixmaps stay for a panel that cannot
// read the theme. The menu is exported over dbusmenu, as Qt's is.
#include <QDBusObjectPath>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QSystemTrayIcon>

class DBusMenuExporter;
class QMenu;
class StatusNotifierItemAdaptor;

struct DBusImage {  // (iiay): ARGB32 in network byte order
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using DBusImageList = QList<DBusImage>;
struct DBusToolTip {  // (sa(iiay)ss)
    QString iconName;
    DBusImageList images;
    QString title;
    QString text;
};
Q_DECLARE_METATYPE(DBusImage)
Q_DECLARE_METATYPE(DBusToolTip)

class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierItem(QMenu* menu, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // A panel hosts items: the watcher they register with is on the bus.
    static bool WatcherRegistered();
    // On the bus and registered with the watcher; false when there is no
    // session bus.
    bool show();

    // The icon as pictures, and, when the name is not empty, as that icon
    // of the theme in themePath.
    void setIcon(const QIcon& icon, const QString& name = {}, const QString& themePath = {});
    void setToolTip(const QString& tip);

    // What the adaptor answers.
    const QIcon& icon() const { return m_icon; }
    const QString& iconName() const { return m_iconName; }
    const QString& themePath() const { return m_themePath; }
    const QString& toolTip() const { return m_toolTip; }
    QMenu* menu() const { return m_menu; }

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);

private:
    void registerWithWatcher();

    QMenu* m_menu;
    DBusMenuExporter* m_menuExporter;
    StatusNotifierItemAdaptor* m_adaptor;
    QString m_service;
    bool m_shown = false;
    QIcon m_icon;
    QString m_iconName;
    QString m_themePath;
    QString m_toolTip;
};
