#include "tray/DBusMenuExporter.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QEvent>
#include <QMenu>

// The D-Bus side: what the protocol names, as the panel calls it.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuAdaptor(DBusMenuExporter* exporter) : QDBusAbstractAdaptor(exporter), m_exporter(exporter) {}

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList&, DBusMenuLayout& layout) {
        layout = m_exporter->layout(parentId, recursionDepth);
        return m_exporter->revision();
    }
    DBusMenuItemList GetGroupProperties(const QList<int>& ids, const QStringList&) {
        DBusMenuItemList items;
        for (int id : ids) items.append({id, m_exporter->properties(id)});
        return items;
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        return QDBusVariant(m_exporter->properties(id).value(name));
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) { m_exporter->event(id, eventId); }
    QList<int> EventGroup(const DBusMenuEventList& events) {
        QList<int> unknown;
        for (const DBusMenuEvent& e : events)
            if (!m_exporter->event(e.id, e.eventId)) unknown << e.id;
        return unknown;
    }
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>&, QList<int>& idErrors) {
        idErrors.clear();
        return {};
    }

signals:
    void ItemsPropertiesUpdated(const DBusMenuItemList& updated, const DBusMenuItemKeysList& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DBusMenuExporter* m_exporter;
};

namespace {

// A label as dbusmenu writes it: "_" marks the access key where Qt has "&".
QString Label(const QString& text) {
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('_')) label += QStringLiteral("__");
        else if (text[i] != QLatin1Char('&') || i + 1 == text.size()) label += text[i];
        else if (text[++i] == QLatin1Char('&')) label += QLatin1Char('&');  // "&&" is a plain "&"
        else label += QStringLiteral("_") + text[i];
    }
    return label;
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayout& layout) {
    a.beginStructure();
    a << layout.id << layout.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : layout.children) a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayout& layout) {
    a.beginStructure();
    a >> layout.id >> layout.properties;
    a.beginArray();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
        layout.children << qdbus_cast<DBusMenuLayout>(child.variant());
    }
    a.endArray();
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItem& item) {
    a.beginStructure();
    a << item.id << item.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItem& item) {
    a.beginStructure();
    a >> item.id >> item.properties;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& item) {
    a.beginStructure();
    a << item.id << item.keys;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& item) {
    a.beginStructure();
    a >> item.id >> item.keys;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& e) {
    a.beginStructure();
    a << e.id << e.eventId << e.data << e.timestamp;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& e) {
    a.beginStructure();
    a >> e.id >> e.eventId >> e.data >> e.timestamp;
    a.endStructure();
    return a;
}

DBusMenuExporter::DBusMenuExporter(QMenu* menu, QObject* parent) : QObject(parent), m_menu(menu) {
    qDBusRegisterMetaType<DBusMenuLayout>();
    qDBusRegisterMetaType<DBusMenuItem>();
    qDBusRegisterMetaType<DBusMenuItemList>();
    qDBusRegisterMetaType<DBusMenuItemKeys>();
    qDBusRegisterMetaType<DBusMenuItemKeysList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
    m_adaptor = new DBusMenuAdaptor(this);
    // Changes come in bursts (a menu rebuilt entry by entry): one announcement.
    m_announce.setSingleShot(true);
    connect(&m_announce, &QTimer::timeout, this, [this] { emit m_adaptor->LayoutUpdated(++m_revision, 0); });
    watch(menu);
}

void DBusMenuExporter::watch(QMenu* menu) {
    menu->installEventFilter(this);
    for (QAction* action : menu->actions())
        if (action->menu()) watch(action->menu());
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ActionAdded:
        if (QAction* added = static_cast<QActionEvent*>(event)->action(); added->menu()) watch(added->menu());
        changed();
        break;
    case QEvent::ActionChanged:
    case QEvent::ActionRemoved:
        changed();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenuExporter::changed() { m_announce.start(0); }

int DBusMenuExporter::idOf(QAction* action) {
    const auto known = m_ids.constFind(action);
    if (known != m_ids.constEnd()) return *known;
    const int id = m_nextId++;
    m_ids.insert(action, id);
    m_actions.insert(id, action);
    connect(action, &QObject::destroyed, this, [this, action, id] {
        m_ids.remove(action);
        m_actions.remove(id);
    });
    return id;
}

QAction* DBusMenuExporter::actionOf(int id) const { return m_actions.value(id); }

QMenu* DBusMenuExporter::menuOf(int id) const {
    if (id == 0) return m_menu;
    QAction* action = actionOf(id);
    return action ? action->menu() : nullptr;
}

QVariantMap DBusMenuExporter::properties(int id) {
    QVariantMap p;
    QAction* action = actionOf(id);
    if (id == 0 || (action && action->menu())) p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    if (!action) return p;
    if (action->isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        p.insert(QStringLiteral("label"), Label(action->text()));
        if (action->isCheckable()) {
            const bool radio = action->actionGroup() && action->actionGroup()->isExclusive();
            p.insert(QStringLiteral("toggle-type"), radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
            p.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
        }
    }
    if (!action->isEnabled()) p.insert(QStringLiteral("enabled"), false);
    if (!action->isVisible()) p.insert(QStringLiteral("visible"), false);
    return p;
}

DBusMenuLayout DBusMenuExporter::layout(int id, int depth) {
    DBusMenuLayout node{id, properties(id), {}};
    if (QMenu* menu = menuOf(id); menu && depth != 0)
        for (QAction* action : menu->actions()) node.children << layout(idOf(action), depth - 1);
    return node;
}

bool DBusMenuExporter::event(int id, const QString& eventId) {
    QAction* action = actionOf(id);
    if (!action) return false;
    // Triggered from the event loop: an entry may rebuild the menu it is in.
    if (eventId == QLatin1String("clicked") && action->isEnabled() && !action->menu())
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    return true;
}

#include "DBusMenuExporter.moc"
