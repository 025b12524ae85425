#pragma once
// Follows the mouse over a window's controls and reports the long hint of
// the control under it: its own status tip or, when it has none, that of its
// nearest parent that has one.
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

class HintTracker : public QObject {
    Q_OBJECT
public:
    HintTracker(QWidget* window, std::function<void(const QString&)> showHint);

    // While off, nothing is reported and the last text stays.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // The hint that counts for a control.
    static QString HintOf(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    std::function<void(const QString&)> m_showHint;
    bool m_enabled = true;
};
