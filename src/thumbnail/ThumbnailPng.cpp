#include "thumbnail/ThumbnailPng.h"

#include <algorithm>
#include <array>
#include <libdeflate.h>
#include <memory>
#include <new>

namespace texelary {

// A PNG file is its signature and three chunks, each a big-endian length, a four-letter type,
// the data and a CRC-32 of type and data:
//   offset  size  field
//   0       8     signature 89 50 4E 47 0D 0A 1A 0A
//   8       25    IHDR: width (4), height (4), bit depth 8, colour type 6 (RGBA), compression 0,
//                 filter method 0, interlace 0
//   33      12+n  IDAT: a zlib stream of the rows, each its filter byte and 4 bytes a pixel
//   45+n    12    IEND, empty
namespace PngLayout {
constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kHeaderSize = 13;
constexpr std::size_t kChunkFrame = 12; // length, type and CRC around the data
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourRgba = 6;
// Each byte less the same byte of the pixel on its left: a texture's runs and blocks become runs
// of zeros, at a fraction of what trying every filter on every row costs.
constexpr std::uint8_t kFilterSub = 1;
// libdeflate's middle level: near its best compression of such rows, still far from its slowest.
constexpr int kCompressionLevel = 6;
static_assert(kSignature.size() + kChunkFrame + kHeaderSize == 33);
} // namespace PngLayout

namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};

void StoreBE32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

void AppendChunk(std::vector<std::uint8_t>& file, const char (&type)[5], const std::uint8_t* data,
                 std::size_t size) {
    const std::size_t start = file.size();
    file.resize(start + PngLayout::kChunkFrame + size);
    std::uint8_t* chunk = file.data() + start;
    StoreBE32(chunk, static_cast<std::uint32_t>(size));
    std::copy(type, type + 4, chunk + 4);
    std::copy(data, data + size, chunk + 8);
    StoreBE32(chunk + 8 + size,
              static_cast<std::uint32_t>(libdeflate_crc32(0, chunk + 4, size + 4)));
}

// The rows as the IDAT chunk holds them before compression, each filtered with Sub.
std::vector<std::uint8_t> FilteredRows(const RgbaImage& picture) {
    const auto stride = 4 * static_cast<std::size_t>(picture.width);
    const auto height = static_cast<std::size_t>(picture.height);
    std::vector<std::uint8_t> rows((stride + 1) * height);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* in = picture.pixels.data() + y * stride;
        std::uint8_t* out = rows.data() + y * (stride + 1);
        out[0] = PngLayout::kFilterSub;
        std::copy(in, in + 4, out + 1);
        for (std::size_t i = 4; i < stride; ++i) {
            out[1 + i] = static_cast<std::uint8_t>(in[i] - in[i - 4]);
        }
    }
    return rows;
}

} // namespace

std::optional<std::vector<std::uint8_t>> EncodeThumbnailPng(const RgbaImage& picture) {
    // The thumbnail's sides are at most ThumbnailLayout::kMaxThumbnailSide, so no size here
    // comes near overflowing.
    if (picture.width < 1 || picture.height < 1 ||
        picture.pixels.size() != 4 * static_cast<std::size_t>(picture.width) *
                                     static_cast<std::size_t>(picture.height)) {
        return std::nullopt;
    }
    try {
        const std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
            libdeflate_alloc_compressor(PngLayout::kCompressionLevel));
        if (!compressor) {
            return std::nullopt;
        }
        const auto rows = FilteredRows(picture);
        std::vector<std::uint8_t> stream(
            libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
        const std::size_t streamSize = libdeflate_zlib_compress(
            compressor.get(), rows.data(), rows.size(), stream.data(), stream.size());
        if (streamSize == 0) {
            return std::nullopt;
        }
        std::array<std::uint8_t, PngLayout::kHeaderSize> header{};
        StoreBE32(header.data(), static_cast<std::uint32_t>(picture.width));
        StoreBE32(header.data() + 4, static_cast<std::uint32_t>(picture.height));
        header[8] = PngLayout::kBitDepth;
        header[9] = PngLayout::kColourRgba;
        std::vector<std::uint8_t> file(PngLayout::kSignature.begin(), PngLayout::kSignature.end());
        file.reserve(file.size() + 3 * PngLayout::kChunkFrame + header.size() + streamSize);
        AppendChunk(file, "IHDR", header.data(), header.size());
        AppendChunk(file, "IDAT", stream.data(), streamSize);
        AppendChunk(file, "IEND", nullptr, 0);
        return file;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace texelary
