#include "ui/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <algorithm>

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    for (QToolButton* arrow : {m_up, m_down}) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { step(Button::Next); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(Button::Previous); });
}

int16_t UpDown::clamp(int value) const {
    return int16_t(std::clamp(value, int(m_minimum), int(m_maximum)));
}

namespace {
int16_t ToPosition(int value) { return int16_t(std::clamp(value, -32768, 32767)); }
}  // namespace

void UpDown::setRange(int minimum, int maximum) {
    m_minimum = ToPosition(minimum);
    m_maximum = ToPosition(std::max(minimum, maximum));
    m_position = clamp(m_position);
}

void UpDown::setMaximum(int maximum) { setRange(m_minimum, maximum); }

int UpDown::position() {
    if (const std::optional<int> value = buddyValue()) m_position = int16_t(*value);
    return m_position;
}

std::optional<int> UpDown::buddyValue() const {
    if (!m_buddy) return std::nullopt;
    bool ok = false;
    const int value = QLocale().toInt(m_buddy->text(), &ok);
    if (!ok || value < m_minimum || value > m_maximum) return std::nullopt;
    return value;
}

void UpDown::setPosition(int position) { m_position = clamp(position); }

void UpDown::setBuddy(QLineEdit* buddy) {
    if (m_buddy) m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy) m_buddy->installEventFilter(this);
}

void UpDown::step(Button button) {
    const int from = position();
    emit changing();
    const int16_t to = clamp(from + (button == Button::Next ? 1 : -1));
    if (to == from) return;
    m_position = to;
    // The spinner's own writes use the user's digit grouping.
    if (m_buddy) m_buddy->setText(QLocale().toString(int(to)));
    emit clicked(button);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? Button::Next : Button::Previous);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
