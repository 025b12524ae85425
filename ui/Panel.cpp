#include "ui/Panel.h"

#include <QMouseEvent>

Panel::Panel(QWidget* parent, Border border) : QFrame(parent), m_client(new QWidget(this)) {
    switch (border) {
    case Border::None:
        setFrameStyle(QFrame::NoFrame);
        break;
    case Border::Single:
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        break;
    case Border::Lowered:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        break;
    }
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    m_client->setObjectName(QString());
}

QColor Panel::colour() const { return palette().color(QPalette::Button); }

void Panel::setColour(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::Button, colour);
    setPalette(p);
    // The border keeps the window's shading; only the face changes.
    update();
}

void Panel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Panel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) emit clicked();
}

void Panel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_client->setGeometry(contentsRect());
}
