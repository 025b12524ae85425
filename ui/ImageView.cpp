#include "ui/ImageView.h"

#include <cmath>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "ui/PictureImage.h"

namespace {

// The pixel under the mouse; floor keeps positions left of the view negative.
QPoint PixelAt(const QMouseEvent* event) {
    const QPointF p = event->position();
    return {int(std::floor(p.x())), int(std::floor(p.y()))};
}

}  // namespace

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

void ImageView::setPicture(const Picture* picture) {
    m_picture = picture;
    setAttribute(Qt::WA_OpaquePaintEvent, picture != nullptr);
    update();
}

void ImageView::paintEvent(QPaintEvent* event) {
    if (!m_picture) return;
    QPainter painter(this);
    // Only the exposed part is copied, so a plotted cell costs one cell.
    for (const QRect& area : event->region()) {
        const QRect inside = area & QRect(0, 0, m_picture->width(), m_picture->height());
        if (!inside.isEmpty()) painter.drawImage(inside.topLeft(), ToQImage(*m_picture, inside));
    }
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = PixelAt(event);
    emit mouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = PixelAt(event);
    emit mouseMove(event->modifiers(), p.x(), p.y());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = PixelAt(event);
    emit mouseUp(event->button(), event->modifiers(), p.x(), p.y());
}
