#include "thumbnail/Thumbnail.h"

#include "ArchiveFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/WalFormat.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary::test {
namespace {

using Rgba = std::array<std::uint8_t, 4>;

// A .m32 file of a width x height picture whose pixel (x, y) is colour(x, y).
template <class ColourAt>
std::vector<std::uint8_t> M32Of(std::int32_t width, std::int32_t height, ColourAt colour) {
    RgbaImage picture;
    picture.width = width;
    picture.height = height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const Rgba c = colour(x, y);
            picture.pixels.insert(picture.pixels.end(), c.begin(), c.end());
        }
    }
    auto file = WriteM32(picture);
    EXPECT_TRUE(file);
    return file ? *file : std::vector<std::uint8_t>{};
}

Rgba PixelOf(const RgbaImage& image, std::int32_t x, std::int32_t y) {
    const std::size_t at =
        4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
             static_cast<std::size_t>(x));
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2], image.pixels[at + 3]};
}

struct SizeCase {
    std::int32_t width, height, size, outWidth, outHeight;
};

TEST(Thumbnail, SidesEnlargeByWholeFactorsAndReduceToTheSize) {
    const SizeCase cases[] = {
        {2, 2, 128, 128, 128},     {3, 2, 128, 126, 84},      {16, 4, 128, 128, 32},
        {128, 128, 128, 128, 128}, {256, 256, 128, 128, 128}, {256, 64, 256, 256, 64},
        {200, 100, 128, 128, 64},  {300, 7, 128, 128, 3},     {1000, 1, 128, 128, 1},
        {129, 129, 128, 128, 128}, {5, 300, 256, 4, 256},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " to " +
                     std::to_string(c.size));
        const auto file = M32Of(c.width, c.height, [](std::int32_t, std::int32_t) {
            return Rgba{10, 20, 30, 255};
        });
        const auto thumbnail = MakeThumbnail(file, ThumbnailKind::M32, c.size);
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->width, c.outWidth);
        EXPECT_EQ(thumbnail->height, c.outHeight);
        EXPECT_EQ(PixelOf(*thumbnail, c.outWidth - 1, c.outHeight - 1), (Rgba{10, 20, 30, 255}));
    }
}

TEST(Thumbnail, EnlargingRepeatsEachPixelAsASquareBlockWithItsAlpha) {
    const std::array<Rgba, 4> colours = {
        {{255, 0, 0, 255}, {0, 255, 0, 180}, {0, 0, 255, 90}, {9, 9, 9, 0}}};
    const auto file = M32Of(2, 2, [&](std::int32_t x, std::int32_t y) {
        return colours[static_cast<std::size_t>(2 * y + x)];
    });
    const auto thumbnail = MakeThumbnail(file, ThumbnailKind::M32, 128);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(PixelOf(*thumbnail, 0, 0), colours[0]);
    EXPECT_EQ(PixelOf(*thumbnail, 63, 63), colours[0]);
    EXPECT_EQ(PixelOf(*thumbnail, 64, 0), colours[1]);
    EXPECT_EQ(PixelOf(*thumbnail, 63, 64), colours[2]);
    EXPECT_EQ(PixelOf(*thumbnail, 127, 127), colours[3]);
}

TEST(Thumbnail, ReducingAveragesEachBlockWeightingColourByAlpha) {
    // Left block: two opaque reds over two see-through blues; right block: a plain grey ramp.
    const auto file = M32Of(4, 2, [](std::int32_t x, std::int32_t y) {
        if (x < 2) {
            return y == 0 ? Rgba{200, 0, 0, 255} : Rgba{0, 0, 255, 0};
        }
        const auto v = static_cast<std::uint8_t>(10 * (x + 2 * y));
        return Rgba{v, v, v, 255};
    });
    const auto thumbnail = MakeThumbnail(file, ThumbnailKind::M32, 2);
    ASSERT_TRUE(thumbnail);
    ASSERT_EQ(thumbnail->width, 2);
    ASSERT_EQ(thumbnail->height, 1);
    EXPECT_EQ(PixelOf(*thumbnail, 0, 0), (Rgba{200, 0, 0, 128}));
    EXPECT_EQ(PixelOf(*thumbnail, 1, 0), (Rgba{35, 35, 35, 255})); // (20 + 30 + 40 + 50) / 4
}

// A wad holding `lumps` of `kind`, written to a scratch file; its name.
std::string WadFile(const ScratchDir& scratch, WadKind kind, std::span<const WadMember> lumps) {
    const std::string path = scratch.File("textures.wad");
    ReplacingFile out(path);
    EXPECT_TRUE(WriteWad(out, kind, lumps));
    EXPECT_TRUE(out.Commit());
    return path;
}

struct HoleCase {
    const char* name;
    std::uint8_t alphaOfIndex255;
};

TEST(Thumbnail, IndexTwoFiftyFiveIsAHoleInBraceTexturesOfWadsOnly) {
    const Palette palette = TestPalette();
    const IndexedImage image = MakePicture(16, 16, [](std::int32_t x, std::int32_t) {
        return static_cast<std::uint8_t>(x == 0 ? 255 : 40);
    });
    const HoleCase cases[] = {{"{fence", 0}, {"brick", 255}};
    for (const HoleCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        const auto lump = EncodeWad3MipTexture(image, palette, c.name);
        ASSERT_TRUE(lump);
        const WadMember lumps[] = {{c.name, MipTextureType(WadKind::Wad3), *lump}};
        const auto thumbnail = MakeThumbnailOfFile(WadFile(scratch, WadKind::Wad3, lumps), 16);
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(PixelOf(*thumbnail, 0, 0)[3], c.alphaOfIndex255);
        EXPECT_EQ(PixelOf(*thumbnail, 1, 0), (Rgba{40, 215, 24, 255}));
    }
}

TEST(Thumbnail, VersionThreeWalDrawsIndexTwoFiftyFiveAsAHole) {
    const IndexedImage image = MakePicture(4, 4, [](std::int32_t x, std::int32_t) {
        return static_cast<std::uint8_t>(x == 3 ? 255 : 2);
    });
    const auto file = WriteWal3(image, TestPalette());
    ASSERT_TRUE(file);
    const auto thumbnail = MakeThumbnail(*file, ThumbnailKind::Wal, 8);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(PixelOf(*thumbnail, 0, 0), (Rgba{2, 253, 14, 255}));
    EXPECT_EQ(PixelOf(*thumbnail, 7, 0)[3], 0);
}

TEST(Thumbnail, AWadShowsItsFirstMipTexturePastOtherLumps) {
    ScratchDir scratch;
    const Palette palette = TestPalette();
    const auto first = EncodeWad3MipTexture(
        MakePicture(16, 16, [](auto, auto) { return std::uint8_t{100}; }), palette, "first");
    const auto second = EncodeWad3MipTexture(
        MakePicture(16, 16, [](auto, auto) { return std::uint8_t{7}; }), palette, "second");
    ASSERT_TRUE(first && second);
    const std::vector<std::uint8_t> other(64, 1);
    const WadMember lumps[] = {{"other", 0x40, other},
                               {"first", MipTextureType(WadKind::Wad3), *first},
                               {"second", MipTextureType(WadKind::Wad3), *second}};
    const auto thumbnail = MakeThumbnailOfFile(WadFile(scratch, WadKind::Wad3, lumps), 32);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 32);
    EXPECT_EQ(PixelOf(*thumbnail, 31, 31), (Rgba{100, 155, 188, 255}));
}

struct HostileCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    ThumbnailKind kind;
    std::int32_t size;
    ThumbnailError error;
};

std::vector<std::uint8_t> WadHeaderOnly(const char* signature, std::uint32_t count,
                                        std::uint32_t offset) {
    std::vector<std::uint8_t> bytes(signature, signature + 4);
    for (const std::uint32_t value : {count, offset}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    return bytes;
}

TEST(Thumbnail, DamagedOrHostileFilesAreRefusedWithTheirReason) {
    const auto plain = M32Of(4, 4, [](auto, auto) { return Rgba{1, 2, 3, 255}; });
    auto cut = plain;
    cut.resize(970); // the 968-byte header and half a pixel
    const HostileCase cases[] = {
        {"an empty .wal", {}, ThumbnailKind::Wal, 128, ThumbnailError::Refused},
        {"a .m8 of a few bytes", {2, 0, 0}, ThumbnailKind::M8, 128, ThumbnailError::Refused},
        {"a .m32 cut short", cut, ThumbnailKind::M32, 128, ThumbnailError::Refused},
        {"a .swl of zeros", std::vector<std::uint8_t>(2000), ThumbnailKind::Swl, 128,
         ThumbnailError::Refused},
        {"a wad shorter than its header",
         {'W', 'A', 'D', '2'},
         ThumbnailKind::Wad,
         128,
         ThumbnailError::Refused},
        {"a wad whose directory runs past its end", WadHeaderOnly("WAD3", 100, 12),
         ThumbnailKind::Wad, 128, ThumbnailError::Refused},
        {"a Doom wad", WadHeaderOnly("IWAD", 0, 12), ThumbnailKind::Wad, 128,
         ThumbnailError::Refused},
        {"a wad without textures", WadHeaderOnly("WAD2", 0, 12), ThumbnailKind::Wad, 128,
         ThumbnailError::NoMipTexture},
        {"a size of 0", plain, ThumbnailKind::M32, 0, ThumbnailError::BadSize},
        {"a size past the largest", plain, ThumbnailKind::M32,
         ThumbnailLayout::kMaxThumbnailSide + 1, ThumbnailError::BadSize},
        {"a texture wider than the largest side",
         M32Of(ThumbnailLayout::kMaxSide + 1, 1, [](auto, auto) { return Rgba{}; }),
         ThumbnailKind::M32, 128, ThumbnailError::TextureTooLarge},
        {"a file past the size limit",
         std::vector<std::uint8_t>(ThumbnailLayout::kMaxFileBytes + 1), ThumbnailKind::Wal, 128,
         ThumbnailError::FileTooLarge},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        ThumbnailFailure failure;
        EXPECT_FALSE(MakeThumbnail(c.bytes, c.kind, c.size, &failure));
        EXPECT_EQ(failure.error, c.error);
        EXPECT_FALSE(DescribeThumbnailFailure(failure).empty());
    }
}

TEST(Thumbnail, FilesAreKnownByTheirEndingsInAnyCase) {
    ScratchDir scratch;
    WriteAll(NativePath(scratch.File(Utf8(u8"Wand ü.M32"))), M32Of(2, 1, [](auto, auto) {
                 return Rgba{5, 6, 7, 255};
             }));
    const auto thumbnail = MakeThumbnailOfFile(scratch.File(Utf8(u8"Wand ü.M32")), 4);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(PixelOf(*thumbnail, 3, 1), (Rgba{5, 6, 7, 255}));
    ThumbnailFailure failure;
    EXPECT_FALSE(MakeThumbnailOfFile(scratch.File("picture.bmp"), 4, &failure));
    EXPECT_EQ(failure.error, ThumbnailError::NotATexture);
    EXPECT_FALSE(MakeThumbnailOfFile(scratch.File("missing.wal"), 4, &failure));
    EXPECT_EQ(failure.error, ThumbnailError::CannotRead);
}

} // namespace
} // namespace texelary::test
