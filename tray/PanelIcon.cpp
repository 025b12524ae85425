#include "tray/PanelIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

// What panels ask for: their own sizes (22, 24) and the frame's multiples.
QList<QSize> OfferedSizes(QSize frame) {
    QList<QSize> sizes;
    for (int factor = 1; factor <= 4; ++factor) sizes << frame * factor;
    for (int side : {22, 24})
        if (side > frame.width() && side > frame.height()) sizes << QSize(side, side);
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    return sizes;
}

class FrameIconEngine : public QIconEngine {
public:
    explicit FrameIconEngine(QImage frame) : m_frame(std::move(frame)), m_sizes(OfferedSizes(m_frame.size())) {}

    QIconEngine* clone() const override { return new FrameIconEngine(m_frame); }
    QString key() const override { return QStringLiteral("FrameIconEngine"); }
    bool isNull() override { return m_frame.isNull(); }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return m_sizes; }

    // The largest offered size that fits, so a painted icon needs no scaling.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        QSize best = size.boundedTo(m_frame.size());
        for (QSize offered : m_sizes)
            if (offered.width() <= size.width() && offered.height() <= size.height()) best = offered;
        return best;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        return QPixmap::fromImage(FramePicture(m_frame, size));
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap picture = pixmap(size * scale, mode, state);
        picture.setDevicePixelRatio(scale);
        return picture;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect.topLeft(), scaledPixmap(rect.size(), mode, state, scale));
    }

private:
    QImage m_frame;
    QList<QSize> m_sizes;
};

}  // namespace

QImage FramePicture(const QImage& frame, QSize size) {
    const int factor = std::min(size.width() / std::max(frame.width(), 1), size.height() / std::max(frame.height(), 1));
    if (factor < 1 || size.isEmpty())
        return frame.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QImage source = frame.convertToFormat(QImage::Format_ARGB32);
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    const int left = (size.width() - factor * source.width()) / 2;
    const int top = (size.height() - factor * source.height()) / 2;
    for (int y = 0; y < factor * source.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y / factor));
        auto* to = reinterpret_cast<QRgb*>(picture.scanLine(top + y)) + left;
        for (int x = 0; x < factor * source.width(); ++x) to[x] = from[x / factor];
    }
    return picture;
}

QIcon PanelIcon(const QImage& frame) { return QIcon(new FrameIconEngine(frame)); }
