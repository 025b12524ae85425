#include "imageformats/qt/ZNImagePlugin.h"

#include "imageformats/qt/ZNImageHandler.h"

QImageIOPlugin::Capabilities ZNImagePlugin::capabilities(QIODevice* device, const QByteArray& format) const {
    if (format == "zn") return CanRead;
    if (!format.isEmpty()) return {};
    return ZNImageHandler::canRead(device) ? CanRead : Capabilities();
}

QImageIOHandler* ZNImagePlugin::create(QIODevice* device, const QByteArray& format) const {
    auto* handler = new ZNImageHandler;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArray("zn") : format);
    return handler;
}
