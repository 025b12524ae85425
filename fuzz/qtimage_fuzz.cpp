// Any bytes as the device QImageReader hands the Qt plugin's handler: known
// by content, then every frame read with its delay. A guest prints nothing,
// so nothing here silences it.
#include <QBuffer>
#include <QImage>

#include "imageformats/qt/ZNImageHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ZNImageHandler handler;
    handler.setDevice(&buffer);
    QImage image;
    while (handler.canRead() && handler.read(&image)) handler.nextImageDelay();
    return 0;
}
