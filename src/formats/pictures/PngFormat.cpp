#include "formats/pictures/PngFormat.h"

#include "base/ByteOrder.h"
#include "base/FileIo.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <new>
#include <spng.h>
#include <vector>

// zlib's input pointer as const; it never writes there.
#define ZLIB_CONST
#include <zlib.h>

// libspng parses the file; this module chooses what to ask of it. A palette file (colour type 3)
// is decoded to its own samples, 1, 2, 4 or 8 bits per pixel, which become the picture's indices
// unchanged; PLTE gives the colours and tRNS their opacity. Every other colour type is decoded
// to 8-bit RGBA, tRNS applied, gamma left alone (a texture's numbers are what the painter saw).
//
// libspng stops reading once the last row is out: the checksum of the last IDAT chunk it used is
// only looked at with the chunks after the picture, and the Adler-32 that closes the zlib stream
// only when it lies in the chunk that held the last row. So this module checks the image data
// itself, after the picture: every IDAT chunk's CRC, and the stream inflated once more to its end
// (by libdeflate in one call for a file in memory, by zlib in pieces otherwise and to tell what is
// wrong). Nothing after the IDAT chunks is read, as before: a file that ends without IEND but whose
// image data is whole reads like one with it, as Pillow and libpng's readers take it (they warn at
// most), since the picture is all there and checked.

namespace texelary {

namespace {

struct SpngContextFree {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using SpngContext = std::unique_ptr<spng_ctx, SpngContextFree>;

struct MallocFree {
    void operator()(void* block) const { std::free(block); }
};

// Deflate codes at most 258 bytes in two bits, so the compressed data of a PNG unpacks to at
// most 1032 bytes per byte. A header announcing more than that for the whole file is refused
// before anything is allocated: a few hundred bytes cannot make a picture of gigabytes.
constexpr std::uint64_t MaxInflation = 1032;

// What libspng may hold of ancillary chunks (text, colour profiles, their unpacked forms) while
// reading, one and all together: plenty for any real file, and a bound on what a hostile one
// costs.
constexpr std::size_t ChunkLimit = std::size_t{64} << 20;

std::uint32_t LoadBE32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// Where a PNG's bytes come from: the whole file in memory, or the file itself, read by pieces.
class PngBytes {
public:
    explicit PngBytes(std::span<const std::uint8_t> memory)
        : m_memory(memory) {}
    explicit PngBytes(FileReader& file)
        : m_file(&file) {}

    std::uint64_t Size() const { return m_file != nullptr ? m_file->Size() : m_memory.size(); }

    // The whole file, when it is in memory; empty when it is read by pieces.
    std::span<const std::uint8_t> Memory() const { return m_memory; }

    // The `count` bytes at `offset` (the caller has checked that they lie inside Size()): the
    // memory itself, or read into `scratch`; null when the read fails.
    const std::uint8_t* At(std::uint64_t offset, std::size_t count,
                           std::vector<std::uint8_t>& scratch) {
        if (m_file == nullptr) {
            return m_memory.data() + offset;
        }
        scratch.resize(count);
        return m_file->ReadAt(offset, scratch) ? scratch.data() : nullptr;
    }

    // Hands libspng its input: the buffer, or reads of the file from its start on.
    int GiveTo(spng_ctx* context) {
        if (m_file == nullptr) {
            return spng_set_png_buffer(context, m_memory.data(), m_memory.size());
        }
        m_streamed = 0;
        return spng_set_png_stream(context, &PngBytes::Stream, this);
    }

private:
    static int Stream(spng_ctx*, void* user, void* destination, std::size_t length) {
        auto* bytes = static_cast<PngBytes*>(user);
        if (!bytes->m_file->ReadAt(bytes->m_streamed,
                                   {static_cast<std::uint8_t*>(destination), length})) {
            return SPNG_IO_EOF;
        }
        bytes->m_streamed += length;
        return 0;
    }

    std::span<const std::uint8_t> m_memory;
    FileReader* m_file = nullptr;
    std::uint64_t m_streamed = 0; // how far libspng has read the file
};

struct InflateEnd {
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

// Image data that unpacks to at most this much is checked in one call when the file is in memory.
constexpr std::uint64_t InflatedAtOnce = std::uint64_t{32} << 20;

// What unpacks the zlib stream of the IDAT chunks while WalkImageData goes through them.
class Inflater {
public:
    virtual ~Inflater() = default;
    // The next `count` bytes of the stream; a reason other than None ends the walk with it.
    virtual ReadError Take(const std::uint8_t* data, std::uint32_t count) = 0;
    // Once the last IDAT chunk has been taken: None when the stream ended, as the checks ask.
    virtual ReadError End() = 0;
};

// zlib's inflate by pieces, into a scratch buffer that is dropped: what tells what is wrong.
// Once more has come out than `maxRaw` the rest is data past the picture, which libspng ignores,
// and it is not unpacked.
class ZlibInflater final : public Inflater {
public:
    explicit ZlibInflater(std::uint64_t maxRaw)
        : m_maxRaw(maxRaw) {
        if (inflateInit(&m_stream) == Z_OK) {
            m_owner.reset(&m_stream);
        }
    }
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;

    // False when zlib could not start (no memory).
    bool Started() const { return m_owner != nullptr; }

    ReadError Take(const std::uint8_t* data, std::uint32_t count) override {
        m_stream.next_in = data;
        m_stream.avail_in = count;
        while (!m_ended && m_unpacked <= m_maxRaw && m_stream.avail_in != 0) {
            m_stream.next_out = m_scratch.data();
            m_stream.avail_out = static_cast<uInt>(m_scratch.size());
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            m_unpacked += m_scratch.size() - m_stream.avail_out;
            if (status == Z_STREAM_END) {
                m_ended = true;
            } else if (status != Z_OK && status != Z_BUF_ERROR) {
                return status == Z_MEM_ERROR ? ReadError::OutOfMemory : ReadError::CorruptData;
            }
        }
        return ReadError::None;
    }

    ReadError End() override {
        return m_ended || m_unpacked > m_maxRaw ? ReadError::None : ReadError::CorruptData;
    }

private:
    std::uint64_t m_maxRaw;
    z_stream m_stream{};
    std::unique_ptr<z_stream, InflateEnd> m_owner; // once inflateInit has succeeded
    std::array<std::uint8_t, 16384> m_scratch{};
    std::uint64_t m_unpacked = 0;
    bool m_ended = false;
};

// libdeflate, for a file in memory: the chunks' data is kept where it lies and unpacked in one
// call at the end, which checks the Adler-32 and that the stream ends, two to five times as fast
// as zlib's inflate by pieces. It tells only whether the stream is whole within `maxRaw` bytes:
// anything else (even more data than that) is CorruptData here, for zlib to tell what holds.
// Throws std::bad_alloc when memory runs out.
class LibdeflateInflater final : public Inflater {
public:
    explicit LibdeflateInflater(std::uint64_t maxRaw)
        : m_maxRaw(maxRaw) {}

    ReadError Take(const std::uint8_t* data, std::uint32_t count) override {
        m_chunks.emplace_back(data, count);
        m_compressed += count;
        return ReadError::None;
    }

    ReadError End() override {
        if (m_chunks.empty()) {
            return ReadError::CorruptData;
        }
        std::vector<std::uint8_t> joined; // the stream in one piece, when it lies in several chunks
        std::span<const std::uint8_t> stream = m_chunks.front();
        if (m_chunks.size() > 1) {
            joined.reserve(m_compressed);
            for (const auto chunk : m_chunks) {
                joined.insert(joined.end(), chunk.begin(), chunk.end());
            }
            stream = joined;
        }
        thread_local const std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
            libdeflate_alloc_decompressor());
        if (!decompressor) {
            return ReadError::CorruptData;
        }
        const std::unique_ptr<std::uint8_t[]> unpacked(new std::uint8_t[m_maxRaw]);
        std::size_t unpackedSize = 0;
        const libdeflate_result result =
            libdeflate_zlib_decompress(decompressor.get(), stream.data(), stream.size(),
                                       unpacked.get(), m_maxRaw, &unpackedSize);
        return result == LIBDEFLATE_SUCCESS ? ReadError::None : ReadError::CorruptData;
    }

private:
    std::uint64_t m_maxRaw;
    std::vector<std::span<const std::uint8_t>> m_chunks;
    std::size_t m_compressed = 0;
};

// The chunks from the signature on (length, type, data, CRC), the first IDAT to the last: each
// IDAT chunk's CRC is checked and its data handed to `inflater`, whose End gives the answer
// once the last has been. A file in memory gives each chunk's data whole; one read by pieces a
// megabyte at a time.
ReadError WalkImageData(PngBytes& file, Inflater& inflater) {
    constexpr std::size_t PieceSize = std::size_t{1} << 20;
    const bool inMemory = !file.Memory().empty();
    std::vector<std::uint8_t> piece; // the file's bytes in hand, when it is read by pieces
    bool inImageData = false;
    const std::uint64_t size = file.Size();
    for (std::uint64_t at = 8; at <= size && size - at >= 8;) {
        const std::uint8_t* head = file.At(at, 8, piece);
        if (head == nullptr) {
            return ReadError::Truncated;
        }
        const std::uint32_t length = LoadBE32(head);
        const bool isImageData = std::memcmp(head + 4, "IDAT", 4) == 0;
        if (inImageData && !isImageData) {
            break;
        }
        if (size - at - 8 < std::uint64_t{length} + 4) {
            return isImageData ? ReadError::Truncated : ReadError::None;
        }
        if (isImageData) {
            inImageData = true;
            std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
            // zlib's lengths are 32 bits; a chunk's length is at most 2^31 - 1.
            for (std::uint32_t done = 0; done < length;) {
                const auto count = static_cast<std::uint32_t>(
                    inMemory ? length : std::min<std::size_t>(length - done, PieceSize));
                const std::uint8_t* data = file.At(at + 8 + done, count, piece);
                if (data == nullptr) {
                    return ReadError::Truncated;
                }
                crc = libdeflate_crc32(crc, data, count);
                done += count;
                if (const ReadError why = inflater.Take(data, count); why != ReadError::None) {
                    return why;
                }
            }
            const std::uint8_t* stored = file.At(at + 8 + length, 4, piece);
            if (stored == nullptr) {
                return ReadError::Truncated;
            }
            if (crc != LoadBE32(stored)) {
                return ReadError::CorruptData;
            }
        }
        at += 12 + std::uint64_t{length};
    }
    return inflater.End();
}

// Why the image data of a file that libspng has decoded fails its checksums: an IDAT chunk's
// CRC, or the zlib stream's Adler-32 (or the stream does not end); None when both hold. `maxRaw`
// is all rows and filter bytes the picture can have, interlaced or not. A file in memory whose
// data unpacks to little enough is walked the quick way first, by libdeflate; when that finds
// the data whole it is, and otherwise zlib's walk finds what holds and why not, the same way as
// for every file.
ReadError CheckImageData(PngBytes& file, std::uint64_t maxRaw) {
    if (!file.Memory().empty() && maxRaw <= InflatedAtOnce) {
        try {
            LibdeflateInflater quick(maxRaw);
            if (WalkImageData(file, quick) == ReadError::None) {
                return ReadError::None;
            }
        } catch (const std::bad_alloc&) {
            // zlib's way needs far less.
        }
    }
    ZlibInflater inflater(maxRaw);
    if (!inflater.Started()) {
        return ReadError::OutOfMemory;
    }
    return WalkImageData(file, inflater);
}

ReadError Translate(int error) {
    switch (error) {
    case SPNG_IO_EOF:
    case SPNG_IO_ERROR:
    case SPNG_EIDAT_TOO_SHORT:
        return ReadError::Truncated;
    case SPNG_ESIGNATURE:
        return ReadError::BadSignature;
    case SPNG_EMEM:
        return ReadError::OutOfMemory;
    case SPNG_EWIDTH:
    case SPNG_EHEIGHT:
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
    case SPNG_EBIT_DEPTH:
    case SPNG_ECOLOR_TYPE:
    case SPNG_ECOMPRESSION_METHOD:
    case SPNG_EFILTER_METHOD:
    case SPNG_EINTERLACE_METHOD:
    case SPNG_EIHDR_SIZE:
    case SPNG_ENOIHDR:
    case SPNG_ENOPLTE:
    case SPNG_EOVERFLOW:
        return ReadError::BadHeader;
    default:
        return ReadError::CorruptData;
    }
}

// Spreads rows of 1, 2 or 4-bit samples, the leftmost pixel in the highest bits, one to a byte.
void UnpackSamples(const std::uint8_t* packed, std::size_t rowBytes, unsigned depth,
                   IndexedImage& image) {
    const auto width = static_cast<std::size_t>(image.width);
    const unsigned mask = (1u << depth) - 1;
    const unsigned perByte = 8 / depth;
    std::uint8_t* out = image.pixels.get();
    for (std::int32_t y = 0; y < image.height; ++y, packed += rowBytes) {
        for (std::size_t x = 0; x < width; ++x) {
            const unsigned shift = 8 - depth * (1 + static_cast<unsigned>(x % perByte));
            *out++ = static_cast<std::uint8_t>((unsigned{packed[x / perByte]} >> shift) & mask);
        }
    }
}

std::optional<DecodedTexture> DecodeIndexed(spng_ctx* context, const spng_ihdr& ihdr,
                                            ReadError* error) {
    DecodedTexture picture;
    spng_plte plte{};
    if (const int status = spng_get_plte(context, &plte); status != SPNG_OK) {
        return NoPicture(error, Translate(status));
    }
    for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
        picture.palette[3 * i] = plte.entries[i].red;
        picture.palette[3 * i + 1] = plte.entries[i].green;
        picture.palette[3 * i + 2] = plte.entries[i].blue;
    }
    spng_trns trns{};
    if (spng_get_trns(context, &trns) == SPNG_OK) {
        for (std::uint32_t i = 0; i < trns.n_type3_entries && i < 256; ++i) {
            picture.paletteAlpha[i] = trns.type3_alpha[i];
        }
    }

    std::size_t size = 0;
    if (const int status = spng_decoded_image_size(context, SPNG_FMT_PNG, &size);
        status != SPNG_OK) {
        return NoPicture(error, Translate(status));
    }
    picture.indexed = MakeIndexedImage(static_cast<std::int32_t>(ihdr.width),
                                       static_cast<std::int32_t>(ihdr.height));
    if (!picture.indexed) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
    IndexedImage& image = *picture.indexed;
    if (ihdr.bit_depth == 8) {
        const int status = spng_decode_image(context, image.pixels.get(), size, SPNG_FMT_PNG, 0);
        if (status != SPNG_OK) {
            return NoPicture(error, Translate(status));
        }
    } else {
        std::vector<std::uint8_t> packed(size);
        const int status = spng_decode_image(context, packed.data(), size, SPNG_FMT_PNG, 0);
        if (status != SPNG_OK) {
            return NoPicture(error, Translate(status));
        }
        UnpackSamples(packed.data(), size / ihdr.height, ihdr.bit_depth, image);
    }
    // A file whose pixels name colours past its palette is in error; black would be a guess.
    const std::uint8_t* pixels = image.pixels.get();
    const auto count =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    if (count != 0 && *std::max_element(pixels, pixels + count) >= plte.n_entries) {
        return NoPicture(error, ReadError::IndexPastPalette);
    }
    return picture;
}

std::optional<DecodedTexture> DecodeTrueColour(spng_ctx* context, const spng_ihdr& ihdr,
                                               ReadError* error) {
    DecodedTexture picture;
    picture.trueColour = MakeRgbaImage(static_cast<std::int32_t>(ihdr.width),
                                       static_cast<std::int32_t>(ihdr.height));
    if (!picture.trueColour) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
    std::vector<std::uint8_t>& pixels = picture.trueColour->pixels;
    std::size_t size = 0;
    int status = spng_decoded_image_size(context, SPNG_FMT_RGBA8, &size);
    if (status == SPNG_OK && size != pixels.size()) {
        status = SPNG_EINTERNAL;
    }
    if (status == SPNG_OK) {
        status = spng_decode_image(context, pixels.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    }
    if (status != SPNG_OK) {
        return NoPicture(error, Translate(status));
    }
    return picture;
}

std::optional<DecodedTexture> Parse(PngBytes& file, ReadError* error) {
    // The signature is checked here, so that a short or foreign file gets its own reason.
    constexpr std::array<std::uint8_t, 8> Signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto prefix = static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), 8));
    std::vector<std::uint8_t> scratch;
    const std::uint8_t* start = prefix == 0 ? nullptr : file.At(0, prefix, scratch);
    if (start == nullptr ||
        !std::equal(start, start + static_cast<std::ptrdiff_t>(prefix), Signature.begin())) {
        return NoPicture(error, ReadError::BadSignature);
    }
    if (file.Size() <= Signature.size()) {
        return NoPicture(error, ReadError::Truncated);
    }
    SpngContext context(spng_ctx_new(0));
    if (!context) {
        return NoPicture(error, ReadError::OutOfMemory);
    }
    spng_ctx* ctx = context.get();
    int status = file.GiveTo(ctx);
    if (status == SPNG_OK) {
        status = spng_set_chunk_limits(ctx, ChunkLimit, ChunkLimit);
    }
    spng_ihdr ihdr{};
    if (status == SPNG_OK) {
        status = spng_get_ihdr(ctx, &ihdr);
    }
    if (status != SPNG_OK) {
        return NoPicture(error, Translate(status));
    }

    // Sizes before memory: the picture must fit an IndexedImage, and the file must be long
    // enough to hold its compressed rows.
    if (ihdr.width > 0x7fffffffu || ihdr.height > 0x7fffffffu ||
        !PixelCount(static_cast<std::int32_t>(ihdr.width),
                    static_cast<std::int32_t>(ihdr.height))) {
        return NoPicture(error, ReadError::BadHeader);
    }
    std::size_t rawSize = 0;
    if (const int sizeStatus = spng_decoded_image_size(ctx, SPNG_FMT_PNG, &rawSize);
        sizeStatus != SPNG_OK) {
        return NoPicture(error, Translate(sizeStatus));
    }
    // Each row also carries its filter byte.
    if ((static_cast<std::uint64_t>(rawSize) + ihdr.height) / MaxInflation > file.Size()) {
        return NoPicture(error, ReadError::Truncated);
    }

    auto picture = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED ? DecodeIndexed(ctx, ihdr, error)
                                                              : DecodeTrueColour(ctx, ihdr, error);
    if (!picture) {
        return std::nullopt;
    }
    // Seven interlaced passes add at most two rows' filter bytes and one rounded-up byte per row
    // of each pass to the rows of the whole picture.
    const std::uint64_t maxRaw = std::uint64_t{rawSize} + 4 * std::uint64_t{ihdr.height} + 64;
    if (const ReadError reason = CheckImageData(file, maxRaw); reason != ReadError::None) {
        return NoPicture(error, reason);
    }
    return picture;
}

std::optional<DecodedTexture> ParseFromMemory(std::span<const std::uint8_t> file,
                                              ReadError* error) {
    PngBytes bytes(file);
    return Parse(bytes, error);
}

// Encodes the `size` bytes of rows at `pixels` with the header set on `ctx`, and gives the file.
std::optional<std::vector<std::uint8_t>> EncodedBytes(spng_ctx* ctx, const void* pixels,
                                                      std::size_t size) {
    if (spng_encode_image(ctx, pixels, size, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != SPNG_OK) {
        return std::nullopt;
    }
    std::size_t length = 0;
    int status = SPNG_OK;
    const std::unique_ptr<void, MallocFree> buffer(spng_get_png_buffer(ctx, &length, &status));
    if (!buffer || status != SPNG_OK) {
        return std::nullopt;
    }
    try {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
        return std::vector<std::uint8_t>(bytes, bytes + length);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<DecodedTexture> ParsePngPicture(std::span<const std::uint8_t> file, ReadError* error,
                                              LevelsWanted /*levels*/) {
    return ParseGuarded([&] { return ParseFromMemory(file, error); }, error);
}

std::optional<DecodedTexture> ParsePngFile(FileReader& file, ReadError* error) {
    return ParseGuarded(
        [&] {
            PngBytes bytes(file);
            return Parse(bytes, error);
        },
        error);
}

std::optional<std::vector<std::uint8_t>> EncodePng(const IndexedImage& image,
                                                   const Palette& palette,
                                                   std::optional<std::uint8_t> transparentIndex) {
    const auto count = PixelCount(image.width, image.height);
    if (!count || *count == 0 || !image.pixels) {
        return std::nullopt;
    }
    SpngContext context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context) {
        return std::nullopt;
    }
    spng_ctx* ctx = context.get();
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(image.width);
    ihdr.height = static_cast<std::uint32_t>(image.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_INDEXED;
    spng_plte plte{};
    plte.n_entries = 256;
    for (std::size_t i = 0; i < 256; ++i) {
        plte.entries[i].red = palette[3 * i];
        plte.entries[i].green = palette[3 * i + 1];
        plte.entries[i].blue = palette[3 * i + 2];
    }
    // The entries up to the transparent one; those after it are opaque without one.
    spng_trns trns{};
    if (transparentIndex) {
        trns.n_type3_entries = std::uint32_t{*transparentIndex} + 1;
        std::fill_n(trns.type3_alpha, *transparentIndex, std::uint8_t{255});
        trns.type3_alpha[*transparentIndex] = 0;
    }
    if (spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1) != SPNG_OK ||
        spng_set_ihdr(ctx, &ihdr) != SPNG_OK || spng_set_plte(ctx, &plte) != SPNG_OK ||
        (transparentIndex && spng_set_trns(ctx, &trns) != SPNG_OK)) {
        return std::nullopt;
    }
    return EncodedBytes(ctx, image.pixels.get(), *count);
}

std::optional<std::vector<std::uint8_t>> EncodeRgbaPng(const RgbaImage& picture) {
    const auto count = PixelCount(picture.width, picture.height);
    if (!count || *count == 0 || picture.pixels.size() != 4 * *count) {
        return std::nullopt;
    }
    SpngContext context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context) {
        return std::nullopt;
    }
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(picture.width);
    ihdr.height = static_cast<std::uint32_t>(picture.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    if (spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1) != SPNG_OK ||
        spng_set_ihdr(context.get(), &ihdr) != SPNG_OK) {
        return std::nullopt;
    }
    return EncodedBytes(context.get(), picture.pixels.data(), picture.pixels.size());
}

} // namespace texelary
