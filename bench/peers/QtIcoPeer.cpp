// Qt 6's own ICO reader, as a Qt program reads an icon from memory.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <stdexcept>

#include "bench/peers/Peer.h"

namespace {

int DecodeIcon(const WorkItem& item, PixelDigest* digest) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(item.bytes.data()),
                                              qsizetype(item.bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const QImage image = reader.read();
    if (image.isNull()) throw std::runtime_error(reader.errorString().toStdString());
    if (digest) {
        const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
        digest->addRows(rgba.constBits(), rgba.width(), rgba.height(), size_t(rgba.bytesPerLine()), 4);
    }
    return 1;
}

}  // namespace

Peer QtIcoPeer() {
    const bool installed = QImageReader::supportedImageFormats().contains("ico");
    return {"qt-ico", "Qt " QT_VERSION_STR " ICO reader", installed ? "" : "its \"ico\" image-format plugin is not installed",
            [](WorkItem::Kind kind) { return kind == WorkItem::Kind::Icon; }, DecodeIcon};
}
