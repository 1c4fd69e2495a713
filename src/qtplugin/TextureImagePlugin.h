#pragma once

// The image-format plugin that gives Qt programs the game textures: keys wal, m8, m32 and swl.

#include <QImageIOPlugin>

namespace texelary {

class TextureImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "texelary-textures.json")

public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override;
};

} // namespace texelary
