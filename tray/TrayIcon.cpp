#include "tray/TrayIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>

#include "tray/DesktopNotification.h"
#include "tray/PanelIcon.h"

namespace {

constexpr int kRetireMs = 5000;
const QString kThemePrefix = QStringLiteral("zintra-tray-icons-");

// Where the themes go: the runtime folder, which the session's end empties.
// Themes left by a player that died are removed first.
QString ThemeFolder() {
    const QDir runtime(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    for (const QString& name : runtime.entryList({kThemePrefix + QLatin1Char('*')}, QDir::Dirs)) {
        bool number = false;
        const pid_t pid = name.mid(kThemePrefix.size()).toInt(&number);
        if (number && ::kill(pid, 0) != 0 && errno == ESRCH) QDir(runtime.filePath(name)).removeRecursively();
    }
    return runtime.filePath(kThemePrefix + QString::number(QCoreApplication::applicationPid()));
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    m_writer.setMaxThreadCount(1);
    m_retire.setSingleShot(true);
    connect(&m_retire, &QTimer::timeout, this, [this] { m_previousTheme.reset(); });
}

TrayIcon::~TrayIcon() {
    m_writer.waitForDone();
    m_theme.reset();
    m_previousTheme.reset();
    if (m_item) QDir(ThemeFolder()).removeRecursively();
}

void TrayIcon::setContextMenu(QMenu* menu) { m_menu = menu; }

void TrayIcon::setIcon(const QIcon& icon) {
    m_icon = icon;
    m_playing = false;
    if (m_item) m_item->setIcon(icon);
    if (m_embedded) m_embedded->setIcon(icon);
}

void TrayIcon::setAnimation(const std::vector<QImage>& frames) {
    m_frames = frames;
    m_playing = true;
    m_frame = 0;
    if (m_item) writeTheme();
}

void TrayIcon::writeTheme() {
    if (m_theme) {
        m_previousTheme = std::move(m_theme);
        m_retire.start(kRetireMs);
    }
    // Written off the event loop (some 3 ms a frame): the frames go as
    // pictures alone until the theme is whole.
    const int serial = ++m_themes;
    auto theme = std::make_shared<FrameTheme>(ThemeFolder() + QLatin1Char('/') + QString::number(serial));
    m_writer.start([this, theme, frames = m_frames, serial] {
        const bool written = theme->write(frames);
        QMetaObject::invokeMethod(this, [this, theme, written, serial] {
            if (!written || serial != m_themes) return;  // no theme, or an animation since
            m_theme = theme;
            setFrame(m_frame);
        }, Qt::QueuedConnection);
    });
}

void TrayIcon::setFrame(size_t index) {
    if (!m_playing || index >= m_frames.size()) return;
    m_frame = index;
    const QIcon icon = PanelIcon(m_frames[index]);
    if (m_item) {
        if (framesByName()) m_item->setIcon(icon, m_theme->names()[qsizetype(index)], m_theme->themePath());
        else m_item->setIcon(icon);
    }
    if (m_embedded) m_embedded->setIcon(icon);
}

void TrayIcon::setToolTip(const QString& tip) {
    m_toolTip = tip;
    if (m_item) m_item->setToolTip(tip);
    if (m_embedded) m_embedded->setToolTip(tip);
}

void TrayIcon::show() {
    if (isVisible()) return;
    if (StatusNotifierItem::WatcherRegistered()) {
        m_item = std::make_unique<StatusNotifierItem>(m_menu);
        connect(m_item.get(), &StatusNotifierItem::activated, this, &TrayIcon::activated);
        m_item->setToolTip(m_toolTip);
        if (m_playing) writeTheme();
        if (m_item->show()) {
            if (m_playing) setFrame(m_frame);
            else m_item->setIcon(m_icon);
            return;
        }
        m_item.reset();
    }
    m_embedded = std::make_unique<QSystemTrayIcon>();
    connect(m_embedded.get(), &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    m_embedded->setContextMenu(m_menu);
    m_embedded->setToolTip(m_toolTip);
    m_embedded->setIcon(m_playing ? PanelIcon(m_frames[m_frame]) : m_icon);
    m_embedded->show();
}

bool TrayIcon::isVisible() const { return m_item || (m_embedded && m_embedded->isVisible()); }

void TrayIcon::showMessage(const QString& title, const QString& text, int milliseconds) {
    if (m_embedded) m_embedded->showMessage(title, text, QSystemTrayIcon::Warning, milliseconds);
    else SendDesktopNotification(title, text);
}
