#pragma once
// A QMenu on the session bus as com.canonical.dbusmenu, the menu protocol of
// StatusNotifierItem panels: the panel draws the menu and sends back the
// entry clicked. Entries are numbered once, so a click on an entry that has
// since gone does nothing; any change to the menus is announced as a new
// layout, which the panel fetches when it next shows the menu.
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

class QAction;
class QMenu;

struct DBusMenuLayout {  // (ia{sv}av): an entry and, as variants, its entries
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};
struct DBusMenuItem {  // (ia{sv})
    int id = 0;
    QVariantMap properties;
};
struct DBusMenuItemKeys {  // (ias)
    int id = 0;
    QStringList keys;
};
struct DBusMenuEvent {  // (isvu)
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuItemList = QList<DBusMenuItem>;
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;
using DBusMenuEventList = QList<DBusMenuEvent>;
Q_DECLARE_METATYPE(DBusMenuLayout)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)

class DBusMenuAdaptor;

class DBusMenuExporter : public QObject {
    Q_OBJECT
public:
    explicit DBusMenuExporter(QMenu* menu, QObject* parent = nullptr);

    // What the adaptor answers.
    uint revision() const { return m_revision; }
    DBusMenuLayout layout(int id, int depth);
    QVariantMap properties(int id);
    // A click on an entry; false when there is no such entry.
    bool event(int id, const QString& eventId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int idOf(QAction* action);
    QAction* actionOf(int id) const;
    QMenu* menuOf(int id) const;
    void watch(QMenu* menu);
    void changed();

    QMenu* m_menu;
    DBusMenuAdaptor* m_adaptor;
    QHash<QAction*, int> m_ids;
    QHash<int, QPointer<QAction>> m_actions;
    int m_nextId = 1;
    uint m_revision = 1;
    QTimer m_announce;
};
