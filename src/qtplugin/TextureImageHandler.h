#pragma once

// Reads one texture file for Qt's QImageReader: each mip level with pixels is one image, level 0
// first, as RGBA with the alpha the thumbnails show (an .m32's own, a version-3 .wal's index 255
// as a hole). The same source is built against Qt 5 and Qt 6.

#include "formats/DecodedTexture.h"
#include "qtplugin/TextureHeader.h"

#include <QImageIOHandler>
#include <cstdint>
#include <optional>
#include <vector>

namespace texelary {

class TextureImageHandler : public QImageIOHandler {
public:
    explicit TextureImageHandler(PluginFormat format);

    // Whether `device` holds a file of `format`, looking only at its header (never consuming it).
    static bool CanReadDevice(QIODevice* device, PluginFormat format);

    bool canRead() const override;
    bool read(QImage* image) override;
    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;
    int imageCount() const override;
    bool jumpToImage(int imageNumber) override;
    bool jumpToNextImage() override;
    int currentImageNumber() const override;

private:
    // The device's bytes, read once and whole; false when it is larger than the thumbnails' bound
    // or cannot be read.
    bool ReadFile() const;
    // Every level of the file, decoded once; false when the reader refuses the file.
    bool Decode() const;
    std::int32_t LevelCount() const;

    PluginFormat m_format;
    int m_current = 0;
    // Filled on first need by the const queries Qt asks before reading.
    mutable bool m_fileRead = false;
    mutable std::optional<std::vector<std::uint8_t>> m_file;
    mutable bool m_decoded = false;
    mutable std::optional<DecodedTexture> m_texture;
};

} // namespace texelary
