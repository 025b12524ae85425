#include "tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QtEndian>

#include "tray/DBusMenuExporter.h"

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
}  // namespace

// The D-Bus side, as the protocol names it.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ id)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(DBusImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(DBusImageList OverlayIconPixmap READ noPixmap)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(DBusImageList AttentionIconPixmap READ noPixmap)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), m_item(item) {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QCoreApplication::applicationName(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const { return m_item->themePath(); }
    QString iconName() const { return m_item->iconName(); }
    QString none() const { return {}; }
    DBusImageList noPixmap() const { return {}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(kMenuPath); }
    DBusToolTip toolTip() const { return {{}, {}, m_item->toolTip(), {}}; }

    DBusImageList iconPixmap() const {
        DBusImageList images;
        for (const QSize size : m_item->icon().availableSizes()) {
            const QImage image = m_item->icon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
            DBusImage converted{image.width(), image.height(), QByteArray(image.width() * image.height() * 4, 0)};
            for (int y = 0; y < image.height(); ++y)
                qToBigEndian<quint32>(image.constScanLine(y), image.width(),
                                      converted.pixels.data() + y * image.width() * 4);
            images << converted;
        }
        return images;
    }

public slots:
    void Activate(int, int) { emit m_item->activated(QSystemTrayIcon::Trigger); }
    void SecondaryActivate(int, int) { emit m_item->activated(QSystemTrayIcon::MiddleClick); }
    // Asked by a panel that draws no dbusmenu.
    void ContextMenu(int x, int y) { m_item->menu()->popup(QPoint(x, y)); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewMenu();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* m_item;
};

QDBusArgument& operator<<(QDBusArgument& a, const DBusImage& image) {
    a.beginStructure();
    a << image.width << image.height << image.pixels;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusImage& image) {
    a.beginStructure();
    a >> image.width >> image.height >> image.pixels;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusToolTip& tip) {
    a.beginStructure();
    a << tip.iconName << tip.images << tip.title << tip.text;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusToolTip& tip) {
    a.beginStructure();
    a >> tip.iconName >> tip.images >> tip.title >> tip.text;
    a.endStructure();
    return a;
}

StatusNotifierItem::StatusNotifierItem(QMenu* menu, QObject* parent)
    : QObject(parent),
      m_menu(menu),
      m_menuExporter(new DBusMenuExporter(menu, this)),
      m_service(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid())) {
    qDBusRegisterMetaType<DBusImage>();
    qDBusRegisterMetaType<DBusImageList>();
    qDBusRegisterMetaType<DBusToolTip>();
    m_adaptor = new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (!m_shown) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_service);
    bus.unregisterObject(kItemPath);
    bus.unregisterObject(kMenuPath);
}

bool StatusNotifierItem::WatcherRegistered() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(kWatcher);
}

bool StatusNotifierItem::show() {
    if (m_shown) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors) ||
        !bus.registerObject(kMenuPath, m_menuExporter, QDBusConnection::ExportAdaptors) ||
        !bus.registerService(m_service))
        return false;
    m_shown = true;
    // A panel started again brings a new watcher: register with it too.
    auto* watcher = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusNotifierItem::registerWithWatcher);
    registerWithWatcher();
    return true;
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    QDBusConnection::sessionBus().send(call);
}

void StatusNotifierItem::setIcon(const QIcon& icon, const QString& name, const QString& themePath) {
    m_icon = icon;
    m_iconName = name;
    m_themePath = name.isEmpty() ? QString() : themePath;
    if (m_shown) emit m_adaptor->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& tip) {
    m_toolTip = tip;
    if (m_shown) emit m_adaptor->NewToolTip();
}

#include "StatusNotifierItem.moc"
