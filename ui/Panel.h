#pragma once
// A panel: a frame with a client area for its children, an optional colour
// of its own, and a click.
#include <QColor>
#include <QFrame>

class Panel : public QFrame {
    Q_OBJECT
public:
    enum class Border {
        None,     // no border, no bevel
        Single,   // the sunken two-pixel edge of a single border
        Lowered,  // a one-pixel lowered bevel
    };

    Panel(QWidget* parent, Border border);

    // Children are placed here, in client coordinates (inside the border).
    QWidget* client() const { return m_client; }

    // The background colour; the window's button face until set.
    QColor colour() const;
    void setColour(const QColor& colour);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_client;
    bool m_pressed = false;
};
