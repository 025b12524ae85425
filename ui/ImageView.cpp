#include "ui/ImageView.h"

#include <cmath>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "ui/PictureImage.h"

namespace {

// Where the painter puts a widget's point, which for a child is the
// window's scale and the child's offset in the window.
QTransform ToWindowDevice(const QWidget* widget) {
    const qreal scale = widget->devicePixelRatioF();
    const QPoint offset = widget->mapTo(widget->window(), QPoint());
    return QTransform::fromScale(scale, scale).translate(offset.x(), offset.y());
}

}  // namespace

ImageView::ImageView(QWidget* parent, Layout layout) : QWidget(parent), m_layout(layout) {}

void ImageView::setPicture(const Picture* picture) {
    m_picture = picture;
    // Only the grid covers all of its device pixels; a frame enlarged by
    // whole pixels may leave the parent's background around it.
    setAttribute(Qt::WA_OpaquePaintEvent, picture != nullptr && m_layout == Layout::Grid);
    update();
}

QRect ImageView::DeviceRect(const QTransform& toDevice) const {
    // Qt fills a rectangle between its rounded edges, and so does this.
    const QRectF r = toDevice.mapRect(QRectF(rect()));
    return QRect(QPoint(qRound(r.left()), qRound(r.top())), QPoint(qRound(r.right()) - 1, qRound(r.bottom()) - 1));
}

const TAxisLayout& ImageView::Axis(Qt::Orientation orientation, int devicePixels) {
    TAxisLayout& axis = m_axes[orientation == Qt::Horizontal ? 0 : 1];
    const double scale = devicePixelRatioF();
    if (int(axis.size()) != devicePixels || m_axesScale != scale) {
        if (m_axesScale != scale) m_axes[0].clear(), m_axes[1].clear();
        m_axesScale = scale;
        const int pixels = orientation == Qt::Horizontal ? m_picture->width() : m_picture->height();
        axis = m_layout == Layout::Grid ? EnlargedViewAxis(devicePixels, scale)
                                        : ActualSizeAxis(pixels, devicePixels, scale);
    }
    return axis;
}

void ImageView::paintEvent(QPaintEvent* event) {
    if (!m_picture) return;
    QPainter painter(this);
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() <= QTransform::TxTranslate) {
        // Only the exposed part is copied, so a plotted cell costs one cell.
        for (const QRect& area : event->region()) {
            const QRect inside = area & QRect(0, 0, m_picture->width(), m_picture->height());
            if (!inside.isEmpty()) painter.drawImage(inside.topLeft(), ToQImage(*m_picture, inside));
        }
        return;
    }
    // Scaled: every device pixel is drawn from the layout, unscaled.
    const QRect view = DeviceRect(toDevice);
    const QRect dirty = view & toDevice.mapRect(QRectF(event->region().boundingRect())).toAlignedRect();
    if (dirty.isEmpty()) return;
    const TAxisLayout& xs = Axis(Qt::Horizontal, view.width());
    const TAxisLayout& ys = Axis(Qt::Vertical, view.height());
    QImage image(dirty.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < dirty.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int py = ys[size_t(dirty.y() - view.y() + y)];
        for (int x = 0; x < dirty.width(); ++x) {
            const int px = xs[size_t(dirty.x() - view.x() + x)];
            if (px < 0 || py < 0) {
                line[x] = 0;
            } else {
                const Rgb c = m_picture->at(px, py);
                line[x] = qRgb(c.r, c.g, c.b);
            }
        }
    }
    painter.setWorldTransform(QTransform::fromTranslate(dirty.x(), dirty.y()) * toDevice.inverted());
    painter.drawImage(QPoint(), image);
}

void ImageView::updatePicture(const QRect& area) {
    const QTransform toDevice = ToWindowDevice(this);
    if (toDevice.type() <= QTransform::TxTranslate || !m_picture) return update(area);
    // The device pixels that show the area, back in widget units, a little
    // wider for the rounding on the way.
    const QRect view = DeviceRect(toDevice);
    const TAxisLayout& xs = Axis(Qt::Horizontal, view.width());
    const TAxisLayout& ys = Axis(Qt::Vertical, view.height());
    auto span = [](const TAxisLayout& axis, int from, int to) {
        int first = int(axis.size()), last = -1;
        for (int u = 0; u < int(axis.size()); ++u)
            if (axis[size_t(u)] >= from && axis[size_t(u)] < to) first = std::min(first, u), last = u;
        return std::pair{first, last};
    };
    const auto [x0, x1] = span(xs, area.left(), area.right() + 1);
    const auto [y0, y1] = span(ys, area.top(), area.bottom() + 1);
    if (x1 < 0 || y1 < 0) return;
    const QTransform back = toDevice.inverted();
    const QRectF shown = back.mapRect(QRectF(view.x() + x0, view.y() + y0, x1 - x0 + 1, y1 - y0 + 1));
    update(shown.toAlignedRect().adjusted(-1, -1, 1, 1));
}

QPoint ImageView::PixelAt(const QMouseEvent* event) {
    const QTransform toDevice = ToWindowDevice(this);
    const QPointF p = event->position();
    if (toDevice.type() <= QTransform::TxTranslate || !m_picture)
        // floor keeps positions left of the view negative.
        return {int(std::floor(p.x())), int(std::floor(p.y()))};
    const QRect view = DeviceRect(toDevice);
    const QPointF u = toDevice.map(p) - QPointF(view.topLeft());
    const double scale = devicePixelRatioF();
    return {PictureCoordinate(Axis(Qt::Horizontal, view.width()), m_picture->width(), scale, u.x()),
            PictureCoordinate(Axis(Qt::Vertical, view.height()), m_picture->height(), scale, u.y())};
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
