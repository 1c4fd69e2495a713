#include "formats/pictures/PngFormat.h"

#include "TestFiles.h"
#include "TestImages.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xffffffffu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::uint32_t Be32(const Bytes& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

// The chunks of a PNG file: type and data. Join() writes them back with correct checksums, so
// that a test can change a field and still have the file reach the check it is aimed at.
struct PngChunks {
    std::vector<std::pair<std::string, Bytes>> chunks;

    PngChunks() = default;

    explicit PngChunks(const Bytes& file) {
        for (std::size_t at = 8; at + 12 <= file.size();) {
            const std::size_t length = Be32(file, at);
            chunks.emplace_back(std::string(file.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                                            file.begin() + static_cast<std::ptrdiff_t>(at) + 8),
                                Bytes(file.begin() + static_cast<std::ptrdiff_t>(at) + 8,
                                      file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length)));
            at += 12 + length;
        }
    }

    Bytes& Data(const std::string& type) {
        for (auto& chunk : chunks) {
            if (chunk.first == type) {
                return chunk.second;
            }
        }
        ADD_FAILURE() << "no " << type;
        return chunks.front().second;
    }

    void Remove(const std::string& type) {
        std::erase_if(chunks, [&](const auto& chunk) { return chunk.first == type; });
    }

    Bytes Join() const {
        Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        for (const auto& [type, data] : chunks) {
            Bytes chunk(4, 0);
            PutBe32(chunk, 0, static_cast<std::uint32_t>(data.size()));
            chunk.insert(chunk.end(), type.begin(), type.end());
            chunk.insert(chunk.end(), data.begin(), data.end());
            chunk.resize(chunk.size() + 4);
            PutBe32(chunk, chunk.size() - 4, Crc32(chunk.data() + 4, chunk.size() - 8));
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
        return out;
    }
};

std::uint32_t Adler32(const Bytes& data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// Builds a PNG file: IHDR, a PLTE of `paletteEntries` grey entries for palette pictures, then
// the rows (each with its filter byte) as one stored zlib block, its last `trailerApart` bytes
// (the checksum's) in an IDAT chunk of their own when asked, then IEND unless left out.
struct PngBuilder {
    std::uint32_t width = 2;
    std::uint32_t height = 2;
    std::uint8_t depth = 8;
    std::uint8_t colourType = 3;
    std::size_t paletteEntries = 4;
    // Two rows of indices 0 1 and 2 3, each after its filter byte 0.
    static constexpr std::array<std::uint8_t, 6> TwoRows{0, 0, 1, 0, 2, 3};
    Bytes rows{TwoRows.begin(), TwoRows.end()};
    std::size_t trailerApart = 0;
    bool end = true;

    PngChunks Chunks() const {
        PngChunks png;
        Bytes ihdr(13, 0);
        PutBe32(ihdr, 0, width);
        PutBe32(ihdr, 4, height);
        ihdr[8] = depth;
        ihdr[9] = colourType;
        png.chunks.emplace_back("IHDR", ihdr);
        if (colourType == 3) {
            Bytes plte;
            for (std::size_t i = 0; i < paletteEntries; ++i) {
                plte.insert(plte.end(), 3, static_cast<std::uint8_t>(40 * i));
            }
            png.chunks.emplace_back("PLTE", plte);
        }
        const auto length = static_cast<std::uint16_t>(rows.size());
        Bytes zlib = {0x78,
                      0x01,
                      0x01,
                      static_cast<std::uint8_t>(length),
                      static_cast<std::uint8_t>(length >> 8),
                      static_cast<std::uint8_t>(~length),
                      static_cast<std::uint8_t>(~length >> 8)};
        zlib.insert(zlib.end(), rows.begin(), rows.end());
        zlib.resize(zlib.size() + 4);
        PutBe32(zlib, zlib.size() - 4, Adler32(rows));
        const auto split = static_cast<std::ptrdiff_t>(zlib.size() - trailerApart);
        png.chunks.emplace_back("IDAT", Bytes(zlib.begin(), zlib.begin() + split));
        if (trailerApart != 0) {
            png.chunks.emplace_back("IDAT", Bytes(zlib.begin() + split, zlib.end()));
        }
        if (end) {
            png.chunks.emplace_back("IEND", Bytes{});
        }
        return png;
    }

    Bytes Build() const { return Chunks().Join(); }
};

Bytes PillowPng() {
    return test::ReadAll(test::DataPath("made/pillow.png"));
}

Bytes WithIhdr(std::uint32_t width, std::uint32_t height, std::uint8_t depth) {
    PngChunks png(PillowPng());
    Bytes& ihdr = png.Data("IHDR");
    PutBe32(ihdr, 0, width);
    PutBe32(ihdr, 4, height);
    ihdr[8] = depth;
    return png.Join();
}

// The same bytes as a file, read by pieces as the decoder goes.
std::optional<DecodedTexture> ParsedFromFile(const Bytes& bytes, ReadError* error) {
    test::ScratchDir dir;
    test::WriteAll(dir.File("a.png"), bytes);
    FileReader file(dir.File("a.png"));
    return ParsePngFile(file, error);
}

struct RefusedCase {
    const char* what;
    Bytes bytes;
    ReadError error;
};

TEST(PngFormat, RefusesDamagedFilesWithAReason) {
    const Bytes good = PillowPng();
    PngChunks withoutPalette(good);
    withoutPalette.Remove("PLTE");
    Bytes badChecksum = good;
    badChecksum[badChecksum.size() - 20] ^= 0x40; // inside IDAT
    Bytes badStream = PngChunks(good).Join();
    {
        PngChunks chunks(good);
        chunks.Data("IDAT")[2] ^= 0xff; // the deflate stream itself, checksum made right
        badStream = chunks.Join();
    }
    const PngBuilder made;
    Bytes madeBadCrc = made.Build();
    madeBadCrc[madeBadCrc.size() - 13] ^= 1; // IDAT's CRC, before the 12 bytes of IEND
    PngChunks badAdler = made.Chunks();
    badAdler.Data("IDAT").back() ^= 1;
    PngBuilder apart = made;
    apart.trailerApart = 4;
    PngChunks badAdlerApart = apart.Chunks();
    badAdlerApart.chunks[3].second.back() ^= 1;
    PngBuilder unended = made;
    unended.trailerApart = 4;
    PngChunks withoutTrailer = unended.Chunks();
    withoutTrailer.chunks.erase(withoutTrailer.chunks.begin() + 3);
    PngBuilder noEnd = made;
    noEnd.end = false;
    Bytes cutCrc = noEnd.Build();
    cutCrc.pop_back();
    PngBuilder pastPalette = made;
    pastPalette.rows = {0, 0, 4, 0, 2, 3};
    PngBuilder pastPalette2Bit = made;
    pastPalette2Bit.depth = 2, pastPalette2Bit.paletteEntries = 3;
    pastPalette2Bit.rows = {0, 0x20, 0, 0xc0}; // indices 0 2, 3 0
    const std::vector<RefusedCase> cases = {
        {"empty", {}, ReadError::BadSignature},
        {"a bitmap", test::ReadAll(test::DataPath("bmp/made/pillow.bmp")), ReadError::BadSignature},
        {"the signature only", Bytes(good.begin(), good.begin() + 8), ReadError::Truncated},
        {"cut inside IHDR", Bytes(good.begin(), good.begin() + 20), ReadError::Truncated},
        {"cut inside IDAT", Bytes(good.begin(), good.end() - 30), ReadError::Truncated},
        {"IDAT checksum wrong", badChecksum, ReadError::CorruptData},
        {"deflate stream broken", badStream, ReadError::CorruptData},
        {"no palette", withoutPalette.Join(), ReadError::BadHeader},
        {"width 0", WithIhdr(0, 8, 8), ReadError::BadHeader},
        {"bit depth 3", WithIhdr(16, 8, 3), ReadError::BadHeader},
        {"2^31 - 1 square", WithIhdr(0x7fffffff, 0x7fffffff, 8), ReadError::BadHeader},
        {"30000 square in 200 bytes", WithIhdr(30000, 30000, 8), ReadError::Truncated},
        {"last IDAT's CRC wrong", madeBadCrc, ReadError::CorruptData},
        {"Adler-32 wrong", badAdler.Join(), ReadError::CorruptData},
        {"Adler-32 wrong, in an IDAT of its own", badAdlerApart.Join(), ReadError::CorruptData},
        {"stream without its Adler-32", withoutTrailer.Join(), ReadError::CorruptData},
        {"no IEND, cut in the IDAT's CRC", cutCrc, ReadError::Truncated},
        {"index 4 of 4 colours", pastPalette.Build(), ReadError::IndexPastPalette},
        {"2 bits, index 3 of 3 colours", pastPalette2Bit.Build(), ReadError::IndexPastPalette},
    };
    for (const auto& c : cases) {
        ReadError error = ReadError::None;
        EXPECT_FALSE(ParsePngPicture(c.bytes, &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what << ": " << DescribeReadError(error);
        ReadError fromFile = ReadError::None;
        EXPECT_FALSE(ParsedFromFile(c.bytes, &fromFile)) << c.what << ", from the file";
        EXPECT_EQ(fromFile, c.error) << c.what << ", from the file";
    }
}

TEST(PngFormat, ReadsWholeImageDataHoweverItIsLaidOut) {
    const PngBuilder one; // one IDAT chunk and IEND
    PngBuilder apart;     // the stream's Adler-32 in an IDAT chunk of its own
    apart.trailerApart = 4;
    PngBuilder noEnd; // ends after the image data, without IEND
    noEnd.end = false;
    const std::vector<std::pair<const char*, PngBuilder>> cases = {
        {"one IDAT", one},
        {"Adler-32 apart", apart},
        {"no IEND", noEnd},
    };
    for (const auto& [what, png] : cases) {
        for (const bool fromFile : {false, true}) {
            ReadError error = ReadError::BadHeader;
            const auto picture = fromFile ? ParsedFromFile(png.Build(), &error)
                                          : ParsePngPicture(png.Build(), &error);
            ASSERT_TRUE(picture && picture->IsIndexed())
                << what << fromFile << ": " << DescribeReadError(error);
            EXPECT_EQ(test::PixelsOf(*picture->indexed), (Bytes{0, 1, 2, 3})) << what;
        }
    }
}

TEST(PngFormat, ShortPalettesArePaddedWithBlackAndTransparencyKept) {
    PngChunks png(PillowPng());
    png.chunks.insert(png.chunks.begin() + 2, {"tRNS", Bytes{10, 20}});
    const auto picture = ParsePngPicture(png.Join());
    ASSERT_TRUE(picture && picture->IsIndexed());
    EXPECT_EQ(picture->paletteAlpha[0], 10);
    EXPECT_EQ(picture->paletteAlpha[1], 20);
    EXPECT_EQ(picture->paletteAlpha[2], 255);
    EXPECT_NE(picture->palette[3 * 23], 0); // the file's last colour
    for (std::size_t i = 3 * 24; i < 768; ++i) {
        ASSERT_EQ(picture->palette[i], 0) << i;
    }
}

IndexedImage Pattern(std::int32_t width, std::int32_t height) {
    return test::MakePicture(width, height, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>((x * 31 + y * 17 + x * y) % 256);
    });
}

// A texture written to PNG and the PNG converted back gives the very same file.
TEST(PngFormat, M8ThroughPngAndBackIsByteIdentical) {
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = static_cast<std::uint8_t>(i * 89 + 7);
    }
    const auto m8 = WriteM8(Pattern(67, 41), palette);
    ASSERT_TRUE(m8);
    const auto level0 = ReadM8Image(*m8);
    Palette stored{};
    ASSERT_TRUE(level0 && ReadM8Palette(stored, *m8));

    const auto png = EncodePng(*level0, stored);
    ASSERT_TRUE(png);
    const auto back = ParsePngPicture(*png);
    ASSERT_TRUE(back && back->IsIndexed());
    EXPECT_EQ(back->palette, palette);
    EXPECT_EQ(WriteM8(*back->indexed, back->palette), m8);
}

TEST(PngFormat, WalThroughPngAndBackIsByteIdentical) {
    const auto wal = WriteWal(Pattern(64, 48), WalPalette);
    ASSERT_TRUE(wal);
    const auto level0 = ReadWalImage(*wal);
    ASSERT_TRUE(level0);

    const auto png = EncodePng(*level0, WalPalette);
    ASSERT_TRUE(png);
    ReadError error = ReadError::BadHeader;
    const auto back = ParsePngPicture(*png, &error);
    ASSERT_TRUE(back && back->IsIndexed()) << DescribeReadError(error);
    EXPECT_EQ(back->palette, WalPalette);
    EXPECT_EQ(WriteWal(*back->indexed, WalPalette), wal);
}

TEST(PngFormat, WritingFailsWithoutPixels) {
    EXPECT_FALSE(EncodePng(IndexedImage{}, Palette{}));
}

} // namespace
} // namespace texelary
