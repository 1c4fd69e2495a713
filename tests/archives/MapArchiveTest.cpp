#include "archives/MapArchive.h"

#include "TestFiles.h"
#include "archives/ArchiveBytes.h"
#include "archives/ArchiveInput.h"
#include "archives/ArchiveListing.h"
#include "formats/Formats.h"
#include "formats/mips/MipTexture.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::ScratchDir;
using test::With32;
using Bytes = std::vector<std::uint8_t>;

std::int32_t At32(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{bytes.at(offset + i)} << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

std::string NameAt(const Bytes& bytes, std::size_t offset, std::size_t field) {
    const auto* start = reinterpret_cast<const char*>(bytes.data() + offset);
    return std::string(start, strnlen(start, field));
}

// A texture of a map as the test reads it, apart from the reader: the texture lump's offsets, each
// texture's header, level 0's pixels where its offset says, and a version-30 texture's palette
// (a count of 256 then the colours) right after level 3.
struct SeenTexture {
    std::string name;
    std::uint32_t width = 0, height = 0;
    bool outside = false;
    Bytes pixels;
    Palette palette = Wad2Palette;
};

std::vector<SeenTexture> SeeTextures(const Bytes& map, bool ownPalettes, std::size_t& missing) {
    const auto lump = static_cast<std::size_t>(At32(map, 20));
    std::vector<SeenTexture> seen;
    for (std::int32_t i = 0; i < At32(map, lump); ++i) {
        const std::int32_t offset = At32(map, lump + 4 + 4 * static_cast<std::size_t>(i));
        if (offset == -1) {
            ++missing;
            continue;
        }
        const std::size_t at = lump + static_cast<std::size_t>(offset);
        SeenTexture t;
        t.name = NameAt(map, at, 16);
        t.width = static_cast<std::uint32_t>(At32(map, at + 16));
        t.height = static_cast<std::uint32_t>(At32(map, at + 20));
        t.outside = true;
        for (std::size_t level = 0; level < 4; ++level) {
            t.outside = t.outside && At32(map, at + 24 + 4 * level) == 0;
        }
        if (!t.outside) {
            const auto level0 = map.begin() + static_cast<std::ptrdiff_t>(at) + At32(map, at + 24);
            t.pixels.assign(level0, level0 + static_cast<std::ptrdiff_t>(t.width * t.height));
        }
        if (ownPalettes && !t.outside) {
            const std::size_t count =
                at + static_cast<std::size_t>(At32(map, at + 36)) + t.width / 8 * (t.height / 8);
            EXPECT_EQ(map.at(count) | map.at(count + 1) << 8, 256) << t.name;
            std::memcpy(t.palette.data(), map.data() + count + 2, sizeof(Palette));
        }
        seen.push_back(std::move(t));
    }
    return seen;
}

struct RealMap {
    const char* file;
    MapVersion version;
    std::size_t textures, outside, missing; // so that no row passes on an empty lump
};

const RealMap kRealMaps[] = {
    {"q1_detail_fence2.bsp", MapVersion::Quake, 3, 0, 0},
    {"cube.bsp", MapVersion::Quake, 0, 0, 1},
    {"hl.bsp", MapVersion::HalfLife, 3, 1, 0},
    {"example-bsp2.bsp", MapVersion::Bsp2, 5, 4, 0},
};

// Each real map's textures, through the directory the run lists and the reader the run decodes
// with, are those the test sees in its bytes; a texture without pixels is listed but refused.
TEST(MapRead, RealMapsGiveTheTexturesTheirBytesHold) {
    for (const RealMap& row : kRealMaps) {
        SCOPED_TRACE(row.file);
        const std::string path = Utf8Path(test::DataPath(std::string("maps/") + row.file));
        const bool ownPalettes = row.version == MapVersion::HalfLife;
        std::size_t missing = 0;
        const auto seen = SeeTextures(test::ReadAll(path), ownPalettes, missing);
        ASSERT_EQ(seen.size(), row.textures);
        EXPECT_EQ(missing, row.missing);

        const OpenedArchive& archive = ArchiveAt(path);
        ASSERT_EQ(archive.Error(), ReadError::None);
        EXPECT_EQ(archive.Directory().map, row.version);
        EXPECT_EQ(archive.Directory().missingTextures, missing);
        ASSERT_EQ(archive.Directory().entries.size(), seen.size());
        const WadKind kind = ownPalettes ? WadKind::Wad3 : WadKind::Wad2;
        std::vector<std::string> withPixels;
        std::size_t outside = 0;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const SeenTexture& t = seen[i];
            EXPECT_EQ(archive.Directory().entries[i].name, t.name);
            EXPECT_EQ(archive.Directory().entries[i].outside, t.outside) << t.name;
            ReadError error = ReadError::None;
            const auto lump = ReadInput(path + "/" + t.name, &error, kind);
            if (t.outside) {
                ++outside;
                EXPECT_FALSE(lump) << t.name;
                EXPECT_EQ(error, ReadError::TextureOutside) << t.name;
                continue;
            }
            withPixels.push_back(t.name);
            ASSERT_TRUE(lump) << t.name << ": " << DescribeReadError(error);
            const auto decoded = kind == WadKind::Wad2
                                     ? DecodeWad2Lump(*lump, &error, LevelsWanted::All)
                                     : DecodeWad3Lump(*lump, &error, LevelsWanted::All);
            ASSERT_TRUE(decoded) << t.name << ": " << DescribeReadError(error);
            const IndexedImage& image = *decoded->indexed;
            ASSERT_EQ(image.width, static_cast<std::int32_t>(t.width)) << t.name;
            ASSERT_EQ(image.height, static_cast<std::int32_t>(t.height)) << t.name;
            EXPECT_EQ(Bytes(image.pixels.get(), image.pixels.get() + t.pixels.size()), t.pixels);
            EXPECT_EQ(decoded->palette, t.palette) << t.name;
            EXPECT_EQ(decoded->levels.size(), 3u) << t.name;
        }
        EXPECT_EQ(outside, row.outside);
        ReadError error = ReadError::ArchiveCannotOpen;
        EXPECT_EQ(ListArchiveEntries(path, {},
                                     ownPalettes ? SourceFormat::Wad3 : SourceFormat::Wad2,
                                     ListingDepth::Recursive, &error),
                  withPixels);
        EXPECT_EQ(error, ReadError::None);
    }
}

// Version-38 maps name their textures: the names and next frames the test sees in each 76-byte
// texture info, and no textures to read.
TEST(MapRead, Version38MapsNameTheirTextures) {
    for (const auto& [file, infos] :
         {std::pair{"example-quake2.bsp", 57u}, std::pair{"credits.bsp", 18u}}) {
        SCOPED_TRACE(file);
        const std::string path = Utf8Path(test::DataPath(std::string("maps/") + file));
        const Bytes map = test::ReadAll(path);
        const auto lump = static_cast<std::size_t>(At32(map, 48));
        ArchiveFile archive(path);
        ReadError error = ReadError::ArchiveCannotOpen;
        const auto read = ReadMapTextureInfos(archive, &error);
        EXPECT_EQ(error, ReadError::None);
        ASSERT_TRUE(read);
        ASSERT_EQ(read->size(), infos);
        for (std::size_t i = 0; i < infos; ++i) {
            EXPECT_EQ((*read)[i].name, NameAt(map, lump + 76 * i + 40, 32)) << i;
            EXPECT_EQ((*read)[i].next, At32(map, lump + 76 * i + 72)) << i;
        }
        EXPECT_FALSE(ReadMapTextures(archive, &error));
        EXPECT_EQ(error, ReadError::MapNamesTextures);
        EXPECT_FALSE(ListArchiveEntries(path, {}, {}, ListingDepth::Recursive, &error));
        EXPECT_EQ(error, ReadError::MapNamesTextures);
    }
}

// A version-29 map of one 16 x 16 texture: the 124-byte header, then at 124 the texture lump of
// 388 bytes (the count, one offset of 8, the texture's 40-byte header and its four levels).
Bytes OneTextureMap() {
    test::Bytes b;
    b.I32(29).I32(0).I32(0).I32(0).I32(0).I32(124).I32(388);
    b.bytes.resize(124, 0);
    b.I32(1).I32(8).Text("brick", 16).I32(16).I32(16).I32(40).I32(296).I32(360).I32(376);
    b.bytes.resize(124 + 388, 7);
    return b.bytes;
}

// A version-38 map with two texture infos at 160 ("e1u1/floor", then its next frame).
Bytes TwoInfoMap() {
    test::Bytes b;
    b.Text("IBSP", 4).I32(38);
    b.bytes.resize(48, 0);
    b.I32(160).I32(152);
    b.bytes.resize(160, 0);
    for (const std::int32_t next : {1, -1}) {
        b.bytes.resize(b.bytes.size() + 40, 0);
        b.Text("e1u1/floor", 32).I32(next);
    }
    return b.bytes;
}

struct HostileMap {
    const char* what;
    Bytes bytes;
    ReadError error;
    bool infos = false;       // read by ReadMapTextureInfos, else by ReadMapTextures
    std::size_t textures = 0; // when read
};

// Field offsets in OneTextureMap: 20 and 24 the lump's place, 124 the count, 128 the texture's
// offset, 148 and 152 its size. In TwoInfoMap: 4 the version, 48 and 52 the lump's place.
std::vector<HostileMap> HostileMaps() {
    using enum ReadError;
    const Bytes one = OneTextureMap();
    const Bytes two = TwoInfoMap();
    Bytes cutName = one;
    std::memset(cutName.data() + 132, 'n', 16);
    Bytes outside = one;
    std::memset(outside.data() + 156, 0, 16);
    return {
        {"a good map", one, None, false, 1},
        {"a texture without pixels", outside, None, false, 1},
        {"a missing texture", With32(one, 128, -1), None, false, 0},
        {"no texture lump", With32(With32(one, 20, 0), 24, 0), None, false, 0},
        {"good texture infos", two, None, true, 2},
        {"no bytes", {}, ArchiveTruncated},
        {"a cut header", Bytes(one.begin(), one.begin() + 100), ArchiveTruncated},
        {"a cut version-38 header", Bytes(two.begin(), two.begin() + 150), ArchiveTruncated},
        {"another version", With32(one, 0, 31), NotAnArchive},
        {"a version-38 signature of another version", With32(two, 4, 39), Unsupported},
        {"a version-38 map asked for textures", two, MapNamesTextures},
        {"a version-29 map asked for texture infos", one, NotAnArchive, true},
        {"the lump over the header", With32(one, 20, 100), LumpOverlapsHeader},
        {"the lump past the end", With32(one, 24, 389), LumpPastEnd},
        {"the lump starting past the end", With32(one, 20, 600), LumpPastEnd},
        {"a negative lump length", With32(one, 24, -4), LumpPastEnd},
        {"a lump too short for its count", With32(one, 24, 3), BadEntryCount},
        {"a negative count", With32(one, 124, -1), BadEntryCount},
        {"a huge count", With32(one, 124, 0x7fffffff), BadEntryCount},
        {"one offset more than the lump holds", With32(one, 124, 97), BadEntryCount},
        {"a count that only the file after the lump holds", With32(With32(one, 24, 8), 124, 2),
         BadEntryCount},
        {"a texture at the lump's start", With32(one, 128, 0), EntryOverlapsHeader},
        {"a texture inside the offsets", With32(one, 128, 4), EntryOverlapsHeader},
        {"a texture past the lump", With32(one, 128, 388), EntryPastEnd},
        {"a texture header across the lump's end", With32(one, 128, 349), EntryPastEnd},
        {"a texture header past a shorter lump", With32(one, 24, 47), EntryPastEnd},
        {"a negative texture offset", With32(one, 128, -2), EntryPastEnd},
        {"a name with no end", cutName, NameTooLong},
        {"a width of 0", With32(one, 148, 0), TextureSize},
        {"a negative height", With32(one, 152, -16), TextureSize},
        {"a width past 32768", With32(one, 148, 32769), TextureSize},
        {"texture infos of 151 bytes", With32(two, 52, 151), BadDirectoryLength, true},
    };
}

TEST(MapRead, HostileMapsAreRefusedWithTheirReason) {
    ScratchDir dir;
    for (const HostileMap& c : HostileMaps()) {
        SCOPED_TRACE(c.what);
        ArchiveFile file = test::OpenBytes(dir, c.bytes);
        ReadError error = ReadError::CannotOpen;
        std::optional<std::size_t> read;
        if (c.infos) {
            const auto infos = ReadMapTextureInfos(file, &error);
            read = infos ? std::optional(infos->size()) : std::nullopt;
        } else {
            const auto map = ReadMapTextures(file, &error);
            read = map ? std::optional(map->textures.size()) : std::nullopt;
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(read, c.error == ReadError::None ? std::optional(c.textures) : std::nullopt);
    }
}

} // namespace
} // namespace texelary
