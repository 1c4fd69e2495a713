#include "qtplugin/TextureImageHandler.h"

#include "formats/Formats.h"
#include "thumbnail/Thumbnail.h"

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QVariant>
#include <array>
#include <cstring>
#include <new>

namespace texelary {

namespace {

// The device is read in pieces, so that a device that does not know its size is not given a
// buffer of the whole bound up front.
constexpr qint64 kReadPiece = qint64{1} << 16;

SourceFormat SourceFormatOf(PluginFormat format) {
    constexpr std::array<SourceFormat, 4> kSources = {SourceFormat::Wal, SourceFormat::M8,
                                                      SourceFormat::M32, SourceFormat::Swl};
    return kSources[static_cast<std::size_t>(format)];
}

std::span<const std::uint8_t> BytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

// The rest of `device`, or none when it holds more than the thumbnails' bound.
std::optional<std::vector<std::uint8_t>> ReadBounded(QIODevice& device) {
    std::vector<std::uint8_t> bytes;
    while (true) {
        const QByteArray piece = device.read(kReadPiece);
        if (piece.isEmpty()) {
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(piece.size()) >
            ThumbnailLayout::kMaxFileBytes) {
            return std::nullopt;
        }
        const auto span = BytesOf(piece);
        bytes.insert(bytes.end(), span.begin(), span.end());
    }
    return bytes;
}

// Copies `width` x `height` RGBA pixels, the bytes of pixel i at pixelAt(i), into a new image;
// a null image when memory runs out.
template <class PixelAt>
QImage ToImage(std::int32_t width, std::int32_t height, const PixelAt& pixelAt) {
    QImage image(width, height, QImage::Format_RGBA8888);
    if (image.isNull()) {
        return image;
    }
    std::size_t i = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* line = image.scanLine(y);
        for (std::int32_t x = 0; x < width; ++x, ++i, line += 4) {
            std::memcpy(line, pixelAt(i), 4);
        }
    }
    return image;
}

QImage IndexedToImage(const IndexedImage& picture, const DecodedTexture& texture) {
    std::array<std::array<std::uint8_t, 4>, 256> colours{};
    for (std::size_t entry = 0; entry < 256; ++entry) {
        colours[entry] = {texture.palette[3 * entry], texture.palette[3 * entry + 1],
                          texture.palette[3 * entry + 2], texture.paletteAlpha[entry]};
    }
    const std::uint8_t* pixels = picture.pixels.get();
    return ToImage(picture.width, picture.height,
                   [&colours, pixels](std::size_t i) { return colours[pixels[i]].data(); });
}

QImage TrueColourToImage(const RgbaImage& picture) {
    const std::uint8_t* pixels = picture.pixels.data();
    return ToImage(picture.width, picture.height,
                   [pixels](std::size_t i) { return pixels + 4 * i; });
}

// Level `level` of a decoded texture (0 is the full picture).
QImage LevelImage(const DecodedTexture& texture, std::size_t level) {
    if (texture.trueColour) {
        return TrueColourToImage(level == 0 ? *texture.trueColour
                                            : *texture.trueColourLevels[level - 1]);
    }
    return IndexedToImage(level == 0 ? *texture.indexed : *texture.levels[level - 1], texture);
}

QSize LevelSize(const DecodedTexture& texture, std::size_t level) {
    if (texture.trueColour) {
        const RgbaImage& picture =
            level == 0 ? *texture.trueColour : *texture.trueColourLevels[level - 1];
        return {picture.width, picture.height};
    }
    const IndexedImage& picture = level == 0 ? *texture.indexed : *texture.levels[level - 1];
    return {picture.width, picture.height};
}

} // namespace

TextureImageHandler::TextureImageHandler(PluginFormat format)
    : m_format(format) {}

bool TextureImageHandler::CanReadDevice(QIODevice* device, PluginFormat format) {
    if (!device || !device->isReadable()) {
        return false;
    }
    const QByteArray head = device->peek(static_cast<qint64>(LongestHeader()));
    return PeekPictureSize(BytesOf(head), format).has_value();
}

bool TextureImageHandler::canRead() const {
    if (m_fileRead) {
        return m_file && PeekPictureSize(*m_file, m_format).has_value();
    }
    return CanReadDevice(device(), m_format);
}

bool TextureImageHandler::ReadFile() const {
    if (!m_fileRead) {
        m_fileRead = true;
        QIODevice* source = device();
        if (source && source->isReadable()) {
            try {
                m_file = ReadBounded(*source);
            } catch (const std::bad_alloc&) {
                m_file.reset();
            }
        }
    }
    return m_file.has_value();
}

bool TextureImageHandler::Decode() const {
    if (!m_decoded) {
        m_decoded = true;
        if (ReadFile() && PeekPictureSize(*m_file, m_format)) {
            const TextureDecoder decode = RowOf(SourceFormatOf(m_format)).decode;
            m_texture = decode(*m_file, nullptr, LevelsWanted::All);
            // Smaller levels cut short still leave the full picture to show.
            if (!m_texture) {
                m_texture = decode(*m_file, nullptr, LevelsWanted::First);
            }
        }
    }
    return m_texture.has_value();
}

std::int32_t TextureImageHandler::LevelCount() const {
    if (!Decode()) {
        return 0;
    }
    const std::size_t smaller =
        m_texture->trueColour ? m_texture->trueColourLevels.size() : m_texture->levels.size();
    return static_cast<std::int32_t>(smaller + 1);
}

bool TextureImageHandler::read(QImage* image) {
    if (!image || m_current >= LevelCount()) {
        return false;
    }
    try {
        QImage level = LevelImage(*m_texture, static_cast<std::size_t>(m_current));
        if (level.isNull()) {
            return false;
        }
        *image = std::move(level);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TextureImageHandler::supportsOption(ImageOption option) const {
    return option == Size;
}

QVariant TextureImageHandler::option(ImageOption option) const {
    if (option != Size) {
        return {};
    }
    if (m_decoded) {
        return m_texture ? QVariant(LevelSize(*m_texture, static_cast<std::size_t>(m_current)))
                         : QVariant();
    }
    if (m_current == 0) {
        // Level 0's size is in the header: no pixels are decoded for it.
        const auto size = ReadFile() ? PeekPictureSize(*m_file, m_format) : std::nullopt;
        return size ? QVariant(QSize(size->width, size->height)) : QVariant();
    }
    return Decode() ? QVariant(LevelSize(*m_texture, static_cast<std::size_t>(m_current)))
                    : QVariant();
}

int TextureImageHandler::imageCount() const {
    return LevelCount();
}

bool TextureImageHandler::jumpToImage(int imageNumber) {
    if (imageNumber < 0 || imageNumber >= LevelCount()) {
        return false;
    }
    m_current = imageNumber;
    return true;
}

bool TextureImageHandler::jumpToNextImage() {
    return jumpToImage(m_current + 1);
}

int TextureImageHandler::currentImageNumber() const {
    return m_current;
}

} // namespace texelary
