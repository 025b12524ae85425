// Any bytes as the device QImageReader hands the Qt plugin's handler: known
// by content, then every frame read with its delay.
#include <QBuffer>
#include <QImage>

#include "imageformats/qt/ZNImageHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A failed read warns; a fuzz run would spend its time printing.
    static const auto quiet = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    (void)quiet;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ZNImageHandler handler;
    handler.setDevice(&buffer);
    QImage image;
    while (handler.canRead() && handler.read(&image)) handler.nextImageDelay();
    return 0;
}
