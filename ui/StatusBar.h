#pragma once
// A status bar of text panels from the left, with no size grip. Every panel
// has its given width except the last, which reaches the bar's right edge.
#include <QWidget>
#include <vector>

class QLabel;

class StatusBar : public QWidget {
    Q_OBJECT
public:
    StatusBar(QWidget* parent, const std::vector<int>& panelWidths);

    int panelCount() const { return int(m_panels.size()); }
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    // The panel's label, for tests that look at its placement.
    QLabel* panel(int panel) const { return m_panels[size_t(panel)]; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<int> m_widths;
    std::vector<QLabel*> m_panels;
};
