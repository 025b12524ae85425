#pragma once
// Shows a picture that the core keeps, one screen pixel per picture pixel,
// and reports the mouse in picture coordinates. On a screen scaled by a
// fraction the picture is laid out in device pixels (core/ViewLayout.h), so
// its pixels, cells and lines stay even.
#include <QWidget>

#include "core/Picture.h"
#include "core/ViewLayout.h"

class ImageView : public QWidget {
    Q_OBJECT
public:
    enum class Layout {
        Pixels,  // a picture at actual size, enlarged by whole device pixels
        Grid,    // the enlarged grid of the frame canvas
    };

    ImageView(QWidget* parent, Layout layout = Layout::Pixels);

    // The picture shown; nullptr shows the parent's background.
    void setPicture(const Picture* picture);
    const Picture* picture() const { return m_picture; }
    // Repaints what shows a rectangle of the picture.
    void updatePicture(const QRect& area);

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The view in the device pixels of its window, where the window puts it.
    QRect DeviceRect(const QTransform& toDevice) const;
    // The layout of each axis for the view's device size, kept between paints.
    const TAxisLayout& Axis(Qt::Orientation orientation, int devicePixels);
    QPoint PixelAt(const QMouseEvent* event);

    const Layout m_layout;
    const Picture* m_picture = nullptr;
    TAxisLayout m_axes[2];
    double m_axesScale = 0;
};
