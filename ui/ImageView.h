#pragma once
// Shows a picture that the core keeps, one screen pixel per picture pixel,
// and reports the mouse in picture coordinates.
#include <QWidget>

#include "core/Picture.h"

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent);

    // The picture shown; nullptr shows the parent's background.
    void setPicture(const Picture* picture);
    const Picture* picture() const { return m_picture; }

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
    const Picture* m_picture = nullptr;
};
