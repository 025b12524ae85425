#include "ui/HintTracker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

HintTracker::HintTracker(QWidget* window, std::function<void(const QString&)> showHint)
    : QObject(window), m_window(window), m_showHint(std::move(showHint)) {
    // Enter and leave events go to each control, so watch them all at once.
    qApp->installEventFilter(this);
}

QString HintTracker::HintOf(const QWidget* widget) {
    for (; widget; widget = widget->isWindow() ? nullptr : widget->parentWidget())
        if (!widget->statusTip().isEmpty()) return widget->statusTip();
    return {};
}

bool HintTracker::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!m_enabled || (type != QEvent::Enter && type != QEvent::Leave) || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!m_window || widget->window() != m_window) return false;
    if (type == QEvent::Enter)
        m_showHint(HintOf(widget));
    else
        // Leaving a control puts the mouse over its parent, until a sibling's
        // enter event says otherwise.
        m_showHint(widget == m_window ? QString() : HintOf(widget->parentWidget()));
    return false;
}
