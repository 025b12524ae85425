#pragma once
// Qt's entry to the ZN reader: the "zn" format, and any file whose content
// is a ZN file's whatever its name.
#include <QImageIOPlugin>

class ZNImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "zn.json")

public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format = {}) const override;
};
