#include "thumbnail/Thumbnail.h"

#include "archives/WadArchive.h"
#include "base/FileIo.h"
#include "base/Utf8.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/SwlFormat.h"
#include "formats/mips/WalFormat.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>

namespace texelary {

namespace {

using Colours = std::array<std::array<std::uint8_t, 4>, 256>;

struct KindRow {
    ThumbnailKind kind;
    const char* ending;
    // The format's reader, the one its row of the formats' table names; unused for a wad. Named
    // here rather than through that table, whose other readers (PNG among them) would bring
    // their libraries into every start of the thumbnailer.
    TextureDecoder decode;
};

constexpr std::array<KindRow, 5> kKinds = {{
    {ThumbnailKind::Wal, ".wal", DecodeWal},
    {ThumbnailKind::M8, ".m8", DecodeM8},
    {ThumbnailKind::M32, ".m32", DecodeM32},
    {ThumbnailKind::Swl, ".swl", DecodeSwl},
    {ThumbnailKind::Wad, ".wad", nullptr},
}};

std::unique_ptr<RgbaImage> Fail(ThumbnailFailure* failure, ThumbnailError error,
                                ReadError read = ReadError::None) {
    if (failure) {
        *failure = {error, read};
    }
    return nullptr;
}

// The thumbnail's sides: the picture's times a whole factor when it fits, else its longer side
// brought to `size` and the other in proportion, rounded, at least 1.
void ThumbnailSides(std::int32_t width, std::int32_t height, std::int32_t size,
                    std::int32_t& outWidth, std::int32_t& outHeight) {
    const std::int64_t longer = std::max(width, height);
    if (longer <= size) {
        const std::int32_t factor = static_cast<std::int32_t>(size / longer);
        outWidth = width * factor;
        outHeight = height * factor;
        return;
    }
    const auto side = [&](std::int64_t value) {
        return static_cast<std::int32_t>(
            std::max<std::int64_t>(1, (value * size + longer / 2) / longer));
    };
    outWidth = side(width);
    outHeight = side(height);
}

// Out pixel (x, y) is the average of the source block [x0, x1) x [y0, y1): alpha plainly, the
// colour weighted by alpha so that a hole's colour does not tint its neighbours.
template <class PixelAt>
void AverageBlock(std::uint8_t* out, std::int32_t width, std::int32_t x0, std::int32_t x1,
                  std::int32_t y0, std::int32_t y1, const PixelAt& pixelAt) {
    std::array<std::uint64_t, 3> weighted{};
    std::uint64_t alpha = 0;
    for (std::int32_t y = y0; y < y1; ++y) {
        for (std::int32_t x = x0; x < x1; ++x) {
            const std::uint8_t* p =
                pixelAt(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x));
            for (std::size_t c = 0; c < 3; ++c) {
                weighted[c] += std::uint64_t{p[c]} * p[3];
            }
            alpha += p[3];
        }
    }
    const auto count = static_cast<std::uint64_t>(x1 - x0) * static_cast<std::uint64_t>(y1 - y0);
    for (std::size_t c = 0; c < 3; ++c) {
        out[c] = alpha == 0 ? std::uint8_t{0}
                            : static_cast<std::uint8_t>((weighted[c] + alpha / 2) / alpha);
    }
    out[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
}

// The thumbnail of a width x height picture whose pixel i has the four bytes pixelAt(i).
template <class PixelAt>
std::unique_ptr<RgbaImage> Scale(std::int32_t width, std::int32_t height, std::int32_t size,
                                 const PixelAt& pixelAt) {
    std::int32_t outWidth = 0;
    std::int32_t outHeight = 0;
    ThumbnailSides(width, height, size, outWidth, outHeight);
    auto result = MakeRgbaImage(outWidth, outHeight);
    if (!result) {
        return nullptr;
    }
    const bool enlarge = outWidth >= width;
    std::uint8_t* out = result->pixels.data();
    for (std::int32_t y = 0; y < outHeight; ++y) {
        const auto y0 = static_cast<std::int32_t>(std::int64_t{y} * height / outHeight);
        const auto y1 = static_cast<std::int32_t>(std::int64_t{y + 1} * height / outHeight);
        for (std::int32_t x = 0; x < outWidth; ++x, out += 4) {
            const auto x0 = static_cast<std::int32_t>(std::int64_t{x} * width / outWidth);
            if (enlarge) {
                std::memcpy(out,
                            pixelAt(static_cast<std::size_t>(y0) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(x0)),
                            4);
                continue;
            }
            const auto x1 = static_cast<std::int32_t>(std::int64_t{x + 1} * width / outWidth);
            AverageBlock(out, width, x0, x1, y0, y1, pixelAt);
        }
    }
    return result;
}

std::unique_ptr<RgbaImage> ScaleTexture(const DecodedTexture& texture, std::int32_t size) {
    if (texture.trueColour) {
        const RgbaImage& picture = *texture.trueColour;
        const std::uint8_t* pixels = picture.pixels.data();
        return Scale(picture.width, picture.height, size,
                     [pixels](std::size_t i) { return pixels + 4 * i; });
    }
    const IndexedImage& image = *texture.indexed;
    Colours colours{};
    for (std::size_t entry = 0; entry < 256; ++entry) {
        colours[entry] = {texture.palette[3 * entry], texture.palette[3 * entry + 1],
                          texture.palette[3 * entry + 2], texture.paletteAlpha[entry]};
    }
    const std::uint8_t* pixels = image.pixels.get();
    return Scale(image.width, image.height, size,
                 [&colours, pixels](std::size_t i) { return colours[pixels[i]].data(); });
}

// The first mip texture lump of a wad, decoded; a name beginning with '{' marks index 255 as a
// hole.
std::optional<DecodedTexture> DecodeFirstWadTexture(std::span<const std::uint8_t> file,
                                                    ThumbnailFailure& failure) {
    ReadError read = ReadError::Truncated;
    const auto header =
        file.size() >= kWadHeaderSize ? ParseWadHeader(file, file.size(), &read) : std::nullopt;
    const auto lumps =
        header ? ParseWadDirectory(file.subspan(header->directory.offset, header->directory.length),
                                   file.size(), &read)
               : std::nullopt;
    if (!lumps) {
        failure = {ThumbnailError::Refused, read};
        return std::nullopt;
    }
    const std::uint8_t type = MipTextureType(header->kind);
    const auto lump = std::find_if(lumps->begin(), lumps->end(),
                                   [type](const WadLump& entry) { return entry.type == type; });
    if (lump == lumps->end()) {
        failure = {ThumbnailError::NoMipTexture, ReadError::None};
        return std::nullopt;
    }
    const auto bytes = file.subspan(lump->offset, lump->sizeOnDisk);
    auto texture = header->kind == WadKind::Wad2
                       ? DecodeWad2Lump(bytes, &read, LevelsWanted::First)
                       : DecodeWad3Lump(bytes, &read, LevelsWanted::First);
    if (!texture) {
        failure = {ThumbnailError::Refused, read};
    } else if (lump->name.starts_with('{')) {
        texture->paletteAlpha[255] = 0;
    }
    return texture;
}

std::optional<DecodedTexture> DecodeTexture(std::span<const std::uint8_t> file, ThumbnailKind kind,
                                            ThumbnailFailure& failure) {
    if (kind == ThumbnailKind::Wad) {
        return DecodeFirstWadTexture(file, failure);
    }
    ReadError read = ReadError::None;
    auto texture = kKinds[static_cast<std::size_t>(kind)].decode(file, &read, LevelsWanted::First);
    if (!texture) {
        failure = {ThumbnailError::Refused, read};
    }
    return texture;
}

std::unique_ptr<RgbaImage> Thumbnail(std::span<const std::uint8_t> file, ThumbnailKind kind,
                                     std::int32_t size, ThumbnailFailure& failure) {
    if (size < 1 || size > ThumbnailLayout::kMaxThumbnailSide) {
        return Fail(&failure, ThumbnailError::BadSize);
    }
    if (file.size() > ThumbnailLayout::kMaxFileBytes) {
        return Fail(&failure, ThumbnailError::FileTooLarge);
    }
    const auto texture = DecodeTexture(file, kind, failure);
    if (!texture) {
        return nullptr;
    }
    const std::int32_t width =
        texture->trueColour ? texture->trueColour->width : texture->indexed->width;
    const std::int32_t height =
        texture->trueColour ? texture->trueColour->height : texture->indexed->height;
    if (width < 1 || height < 1) {
        return Fail(&failure, ThumbnailError::Refused, ReadError::NoPixels);
    }
    if (width > ThumbnailLayout::kMaxSide || height > ThumbnailLayout::kMaxSide) {
        return Fail(&failure, ThumbnailError::TextureTooLarge);
    }
    auto thumbnail = ScaleTexture(*texture, size);
    if (!thumbnail) {
        return Fail(&failure, ThumbnailError::OutOfMemory);
    }
    failure = {};
    return thumbnail;
}

} // namespace

std::string DescribeThumbnailFailure(const ThumbnailFailure& failure) {
    switch (failure.error) {
    case ThumbnailError::None:
        return "no failure";
    case ThumbnailError::NotATexture:
        return "not a texture kind this program makes thumbnails of";
    case ThumbnailError::BadSize:
        return "the size must be 1 to " + std::to_string(ThumbnailLayout::kMaxThumbnailSide);
    case ThumbnailError::FileTooLarge:
        return "the file is larger than " + std::to_string(ThumbnailLayout::kMaxFileBytes >> 20) +
               " MiB";
    case ThumbnailError::CannotRead:
    case ThumbnailError::Refused:
        return DescribeReadError(failure.read);
    case ThumbnailError::NoMipTexture:
        return "the wad holds no mip texture";
    case ThumbnailError::TextureTooLarge:
        return "the texture is wider or higher than " + std::to_string(ThumbnailLayout::kMaxSide) +
               " pixels";
    case ThumbnailError::OutOfMemory:
        return "out of memory";
    }
    return "unknown failure";
}

bool ThumbnailKindOfPath(const std::string& path, ThumbnailKind& kind) {
    for (const KindRow& row : kKinds) {
        if (EndsWithIgnoringCase(path, row.ending)) {
            kind = row.kind;
            return true;
        }
    }
    return false;
}

std::unique_ptr<RgbaImage> MakeThumbnail(std::span<const std::uint8_t> file, ThumbnailKind kind,
                                         std::int32_t size, ThumbnailFailure* failure) {
    ThumbnailFailure own;
    std::unique_ptr<RgbaImage> thumbnail;
    try {
        thumbnail = Thumbnail(file, kind, size, own);
    } catch (const std::bad_alloc&) {
        own = {ThumbnailError::OutOfMemory, ReadError::None};
    }
    if (failure) {
        *failure = own;
    }
    return thumbnail;
}

std::unique_ptr<RgbaImage> MakeThumbnailOfFile(const std::string& path, std::int32_t size,
                                               ThumbnailFailure* failure) {
    ThumbnailKind kind{};
    if (!ThumbnailKindOfPath(path, kind)) {
        return Fail(failure, ThumbnailError::NotATexture);
    }
    FileReader reader(path);
    if (!reader.Ok()) {
        return Fail(failure, ThumbnailError::CannotRead, ReadError::CannotOpen);
    }
    if (reader.Size() > ThumbnailLayout::kMaxFileBytes) {
        return Fail(failure, ThumbnailError::FileTooLarge);
    }
    // The bytes the size counted, no more, into memory that is not cleared first: the thumbnailer
    // starts once per file, and each page it touches costs it a fault.
    const auto length = static_cast<std::size_t>(reader.Size());
    std::unique_ptr<std::uint8_t[]> bytes;
    try {
        bytes = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    } catch (const std::bad_alloc&) {
        return Fail(failure, ThumbnailError::OutOfMemory);
    }
    if (!reader.ReadAt(0, {bytes.get(), length})) {
        return Fail(failure, ThumbnailError::CannotRead, ReadError::CannotOpen);
    }
    return MakeThumbnail({bytes.get(), length}, kind, size, failure);
}

} // namespace texelary
