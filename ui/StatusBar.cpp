#include "ui/StatusBar.h"

#include <QLabel>
#include <algorithm>

namespace {
constexpr int kTopMargin = 2;   // the bar's own edge above its panels
constexpr int kPanelGap = 2;    // between two panels
}  // namespace

StatusBar::StatusBar(QWidget* parent, const std::vector<int>& panelWidths)
    : QWidget(parent), m_widths(panelWidths) {
    for (size_t i = 0; i < m_widths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setIndent(2);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        m_panels.push_back(label);
    }
}

QString StatusBar::panelText(int panel) const { return m_panels[size_t(panel)]->text(); }

void StatusBar::setPanelText(int panel, const QString& text) {
    m_panels[size_t(panel)]->setText(text);
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    int x = 0;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        // The last panel takes the rest, so its text is not cut short.
        const bool last = i + 1 == m_panels.size();
        const int width = last ? std::max(m_widths[i], this->width() - x) : m_widths[i] - kPanelGap;
        m_panels[i]->setGeometry(x, kTopMargin, width, height() - kTopMargin);
        x += m_widths[i];
    }
}
