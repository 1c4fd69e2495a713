#include "formats/mips/MipTexture.h"

#include "ArchiveFiles.h"
#include "MipBytes.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "archives/ArchiveBytes.h"
#include "colour/Wad2Palette.h"
#include "formats/mips/M8Format.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::PatternAt;
using test::PixelsOf;
using test::With32;
using Bytes = std::vector<std::uint8_t>;

// Level i of the lumps made here, each with a pattern of its own, so that a level read from the
// wrong place shows.
IndexedImage Level(std::int32_t width, std::int32_t height, std::size_t i) {
    return test::MakePicture(width >> i, height >> i, [i](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(PatternAt(x, y) + 64 * i);
    });
}

Palette Ramp() {
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return palette;
}

// A lump named "brick": the header, the four levels back to back, and with `count` set, the
// `padding`, that count and the first `colours` bytes of Ramp().
Bytes Lump(std::int32_t width, std::int32_t height, std::optional<std::int32_t> count = {},
           const Bytes& padding = {}, std::size_t colours = 768) {
    test::Bytes b;
    b.Text("brick", 16).I32(width).I32(height);
    for (std::int32_t i = 0, offset = 40; i < 4; offset += (width >> i) * (height >> i), ++i) {
        b.I32(offset);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        b.Append(PixelsOf(Level(width, height, i)));
    }
    if (count) {
        const Palette ramp = Ramp();
        b.Append(padding).Append(
            {static_cast<std::uint8_t>(*count), static_cast<std::uint8_t>(*count >> 8)});
        b.Append({ramp.begin(), ramp.begin() + static_cast<std::ptrdiff_t>(colours)});
    }
    return b.bytes;
}

struct DecodeCase {
    const char* what;
    Bytes bytes;
    ReadError error;
    WadKind kind = WadKind::Wad2;
    std::int32_t width = 16, height = 16; // when read
    std::size_t levels = 3;               // after level 0
};

std::vector<DecodeCase> DecodeCases() {
    using enum ReadError;
    constexpr auto kWad3 = WadKind::Wad3;
    const Bytes lump = Lump(16, 16); // 40 + 256 + 64 + 16 + 4 bytes
    const Bytes cut(lump.begin(), lump.end() - 1);
    return {
        {"WAD2", lump, None},
        {"sides not of 16", Lump(24, 8), None, WadKind::Wad2, 24, 8},
        {"a level without pixels", Lump(4, 4), None, WadKind::Wad2, 4, 4, 2},
        {"WAD3", Lump(16, 16, 256), None, kWad3},
        {"WAD3 padded by 2", Lump(16, 16, 256, {0, 0}), None, kWad3},
        {"WAD3 padded by 4", Lump(16, 16, 256, {0, 0, 0, 0}), None, kWad3},
        {"WAD3 padded to 4 after an odd end", Lump(24, 24, 256, {0, 0, 0}), None, kWad3, 24, 24},
        {"WAD3 padded by 6", Lump(16, 16, 256, Bytes(6)), NoPalette, kWad3},
        {"WAD3 padded by 1", Lump(16, 16, 256, {0}), NoPalette, kWad3},
        {"WAD3 padding not zero", Lump(16, 16, 256, {0, 7}), NoPalette, kWad3},
        {"WAD3 of 255 colours", Lump(16, 16, 255), NoPalette, kWad3},
        {"WAD3 palette cut", Lump(16, 16, 256, {}, 767), NoPalette, kWad3},
        {"WAD3 without a palette", lump, NoPalette, kWad3},
        {"a cut header", Bytes(lump.begin(), lump.begin() + 39), Truncated},
        {"no width", With32(lump, 16, 0), TextureNoPixels},
        {"a negative width", With32(lump, 16, -16), TextureSize},
        {"past 32-bit pixels", With32(With32(lump, 16, 65536), 20, 65536), TextureSize},
        {"level 0 at 0", With32(lump, 24, 0), LevelOutside},
        {"level 0 over the header", With32(lump, 24, 39), LevelOutside},
        {"level 3 cut", cut, LevelOutside},
        {"level 2 past the end", With32(lump, 32, 370), LevelOutside},
        {"a width past the pixels", With32(lump, 16, 32), LevelOutside},
    };
}

TEST(MipTextureRead, DecodesTheLevelsAndPaletteOrSaysWhyNot) {
    for (const DecodeCase& c : DecodeCases()) {
        ReadError error = ReadError::CannotOpen;
        const auto texture = DecodeMipTexture(c.bytes, c.kind, &error);
        EXPECT_EQ(error, c.error) << c.what;
        ASSERT_EQ(texture.has_value(), c.error == ReadError::None) << c.what;
        if (!texture) {
            continue;
        }
        EXPECT_EQ(texture->name, "brick") << c.what;
        EXPECT_EQ(PixelsOf(*texture->image), PixelsOf(Level(c.width, c.height, 0))) << c.what;
        ASSERT_EQ(texture->levels.size(), c.levels) << c.what;
        for (std::size_t i = 1; i <= c.levels; ++i) {
            EXPECT_EQ(PixelsOf(*texture->levels[i - 1]), PixelsOf(Level(c.width, c.height, i)))
                << c.what << ", level " << i;
        }
        EXPECT_EQ(texture->palette, c.kind == WadKind::Wad3 ? Ramp() : Wad2Palette) << c.what;
    }
}

TEST(MipTextureWrite, MakesTheLevelsTheOtherWritersMakeAndReadsThemBack) {
    // At 32 x 32 the .m8 writer's levels 1 to 3 have the same sizes, made in its own palette.
    const IndexedImage image = test::Patterned(32, 32);
    for (const MipFilter mips : {MipFilter::Point, MipFilter::Box}) {
        for (const WadKind kind : {WadKind::Wad2, WadKind::Wad3}) {
            const Palette palette = kind == WadKind::Wad2 ? Wad2Palette : Ramp();
            const auto lump = kind == WadKind::Wad2
                                  ? EncodeWad2MipTexture(image, "brick", mips)
                                  : EncodeWad3MipTexture(image, palette, "brick", mips);
            const auto texture = lump ? DecodeMipTexture(*lump, kind) : std::nullopt;
            const auto m8 = WriteM8(image, palette, {mips, std::nullopt});
            ASSERT_TRUE(texture && m8);
            EXPECT_EQ(PixelsOf(*texture->image), PixelsOf(image));
            EXPECT_EQ(texture->palette, palette);
            ASSERT_EQ(texture->levels.size(), 3u);
            auto at = m8->begin() + 1040 + 1024;
            for (const auto& level : texture->levels) {
                const Bytes pixels = PixelsOf(*level);
                EXPECT_EQ(pixels, Bytes(at, at + static_cast<std::ptrdiff_t>(pixels.size())));
                at += static_cast<std::ptrdiff_t>(pixels.size());
            }
        }
    }
}

TEST(MipTextureWrite, RefusesWhatALumpCannotHoldSayingWhy) {
    using enum WriteError;
    struct Case {
        std::int32_t width, height;
        bool pixels;
        std::string name;
        WriteError error;
        ReadError rule = ReadError::None; // the name's, for BadEntryName
    };
    for (const Case& c : std::vector<Case>{
             {16, 16, true, std::string(15, 'n'), None},
             {24, 16, true, "brick", NotMultipleOf16},
             {16, 8, true, "brick", NotMultipleOf16},
             {0, 16, false, "brick", TextureNoPixels},
             {16, 16, false, "brick", TextureNoPixels},
             {-16, 16, false, "brick", TextureSize},
             {65536, 65536, false, "brick", TextureSize},
             {16, 16, true, std::string(16, 'n'), BadEntryName, ReadError::NameTooLong},
             {16, 16, true, "a\\b", BadEntryName, ReadError::NameBackslash}}) {
        IndexedImage image;
        image.width = c.width;
        image.height = c.height;
        ASSERT_TRUE(!c.pixels || AllocatePixels(image, c.width, c.height));
        EXPECT_EQ(CheckEntryName(c.name, 16), c.rule) << c.name;
        WriteError wad2 = CannotWrite;
        WriteError wad3 = CannotWrite;
        EXPECT_EQ(EncodeWad2MipTexture(image, c.name, MipFilter::Point, &wad2).has_value(),
                  c.error == None);
        EXPECT_EQ(EncodeWad3MipTexture(image, Ramp(), c.name, MipFilter::Point, &wad3).has_value(),
                  c.error == None);
        EXPECT_EQ(wad2, c.error) << c.width << " x " << c.height << ", " << c.name;
        EXPECT_EQ(wad3, c.error) << c.width << " x " << c.height << ", " << c.name;
    }
}

TEST(WadWrite, WritesWhatItsReaderReadsBack) {
    test::ScratchDir dir;
    const IndexedImage brick = test::Patterned(32, 16);
    const auto lump = EncodeWad3MipTexture(brick, Ramp(), "brick");
    ASSERT_TRUE(lump);
    const Bytes odd = {1, 2, 3};
    const std::vector<WadMember> members = {{"odd", 0x42, odd},
                                            {"brick", MipTextureType(WadKind::Wad3), *lump}};
    ReplacingFile out(dir.File("out.wad"));
    ASSERT_TRUE(WriteWad(out, WadKind::Wad3, members));
    ASSERT_TRUE(out.Commit());

    ArchiveFile file(dir.File("out.wad"));
    const auto directory = ReadWadDirectory(file);
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->kind, WadKind::Wad3);
    // Each lump starts at a multiple of 4, and so does the directory after them.
    EXPECT_EQ(directory->lumps, (std::vector<WadLump>{{"odd", 12, 3, 3, 0x42, 0},
                                                      {"brick", 16, 1492, 1492, 0x43, 0}}));
    EXPECT_EQ(file.Size(), 16u + 1492u + 2u * 32u);
    EXPECT_EQ(ReadWadLump(file, directory->lumps[0]), odd);
    const auto bytes = ReadWadLump(file, directory->lumps[1]);
    const auto texture = bytes ? DecodeMipTexture(*bytes, directory->kind) : std::nullopt;
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->name, "brick");
    EXPECT_EQ(PixelsOf(*texture->image), PixelsOf(brick));
    EXPECT_EQ(texture->palette, Ramp());
}

} // namespace
} // namespace texelary
