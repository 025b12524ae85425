#include "ui/FramePlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// Before a window has a frame of its own, the window it belongs to tells
// best what the window manager will add.
QMargins GuessFrame(const QWidget* window) {
    const QWindow* related = window->windowHandle() ? window->windowHandle()->transientParent() : nullptr;
    if (!related && window->parentWidget()) related = window->parentWidget()->window()->windowHandle();
    return related && related->isVisible() ? related->frameMargins() : QMargins();
}

}  // namespace

FramePlacement::FramePlacement(QWidget* window) : QObject(window), m_window(window) {}

void FramePlacement::place() {
    if (!m_frameSeen) m_frame = GuessFrame(m_window);
    if (!m_outerSize.isEmpty()) m_window->setFixedSize(m_outerSize.shrunkBy(m_frame));
    QRect outer(QPoint(), m_window->size().grownBy(m_frame));
    if (const QScreen* screen = m_window->screen()) outer.moveCenter(screen->availableGeometry().center());
    // The client's own geometry, so that no frame Qt may have guessed enters it.
    m_window->setGeometry(outer.marginsRemoved(m_frame));

    QWindow* handle = m_window->windowHandle();
    if (handle && handle != m_watched) {
        handle->installEventFilter(this);
        m_watched = handle;
    }
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event) {
    // By the time the window is exposed or moved by the window manager, its
    // frame is known.
    const QEvent::Type type = event->type();
    if (watched == m_watched && (type == QEvent::Expose || type == QEvent::Move) && m_window->isVisible()) {
        const QMargins frame = m_watched->frameMargins();
        const bool changed = frame != m_frame;
        m_frame = frame;
        m_frameSeen = true;
        if (changed) place();
    }
    return false;
}
