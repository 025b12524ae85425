#pragma once
// Places a top-level window by its outer frame, the part the window manager
// adds included: centred on its screen and, when asked, at a fixed outer
// size. A window's frame is known only once the window manager has framed
// it, and is forgotten when it hides, so the last one seen is kept: each
// showing is placed before the window is mapped, and placed again as soon as
// its frame turns out different.
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QSize>

class QWidget;
class QWindow;

class FramePlacement : public QObject {
public:
    explicit FramePlacement(QWidget* window);

    // The outer size to keep; until set, the window keeps its client size.
    void setOuterSize(QSize size) { m_outerSize = size; }
    // Call as the window is shown, before it is mapped.
    void place();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QPointer<QWindow> m_watched;
    QSize m_outerSize;
    QMargins m_frame;
    bool m_frameSeen = false;
};
