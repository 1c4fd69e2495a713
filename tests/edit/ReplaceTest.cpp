// Pictures in the place of textures: a compiled map's textures replaced in place by pictures of
// their size, every other byte of the map kept, and the replacement a wad's or a pak's texture
// takes under the entry's own name and fields. The map's textures are found in its bytes here, in
// a few lines of the test's own.

#include "ArchiveFiles.h"
#include "FieldFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "base/ByteOrder.h"
#include "edit/EditSession.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/WalFormat.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::ReadAll;

constexpr std::size_t kTextureLumpAt = 4 + 2 * 8; // the third lump of a version-29 or -30 map

// Where texture `name` of a map starts and the bytes up to the next texture or the lump's end.
struct Place {
    std::size_t start = 0;
    std::size_t end = 0;
};

Place TexturePlace(const Bytes& map, std::string_view name) {
    const std::size_t lump = LoadLE32(map.data() + kTextureLumpAt);
    const std::size_t lumpEnd = lump + LoadLE32(map.data() + kTextureLumpAt + 4);
    const std::size_t count = LoadLE32(map.data() + lump);
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < count; ++i) {
        const auto offset = LoadLE32Signed(map.data() + lump + 4 + 4 * i);
        if (offset >= 0) {
            starts.push_back(lump + static_cast<std::size_t>(offset));
        }
    }
    std::sort(starts.begin(), starts.end());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const char* field = reinterpret_cast<const char*>(map.data() + starts[i]);
        if (std::string_view(field, strnlen(field, 16)) == name) {
            return {starts[i], i + 1 < starts.size() ? starts[i + 1] : lumpEnd};
        }
    }
    ADD_FAILURE() << "no texture " << name;
    return {};
}

// A mip texture lump of `width` x `height` whose pixels follow `seed`; with a palette after its
// levels, as a WAD3's, when `palette`.
Bytes MipLump(std::uint32_t width, std::uint32_t height, std::uint8_t seed, bool palette) {
    Bytes lump(40);
    test::PatchText(lump, 0, 16, "anything");
    test::PatchLE(lump, 16, width);
    test::PatchLE(lump, 20, height);
    for (std::uint32_t level = 0; level < 4; ++level) {
        test::PatchLE(lump, 24 + 4 * level, static_cast<std::uint32_t>(lump.size()));
        for (std::uint32_t i = 0; i < (width >> level) * (height >> level); ++i) {
            lump.push_back(static_cast<std::uint8_t>(seed + i * 7 + level));
        }
    }
    if (palette) {
        lump.insert(lump.end(), {0, 1}); // 256 colours
        for (std::size_t i = 0; i < 768; ++i) {
            lump.push_back(static_cast<std::uint8_t>(seed * 3 + i));
        }
        lump.insert(lump.end(), {0, 0});
    }
    return lump;
}

// `map` with the levels (and palette) of `lump` written over those of the texture at `at`.
Bytes WithLevels(Bytes map, std::size_t at, const Bytes& lump, bool palette) {
    const std::uint32_t width = LoadLE32(lump.data() + 16);
    const std::uint32_t height = LoadLE32(lump.data() + 20);
    std::size_t mapEnd = 0;
    std::size_t lumpEnd = 0;
    for (std::uint32_t level = 0; level < 4; ++level) {
        const std::size_t pixels = (width >> level) * (height >> level);
        const std::size_t from = LoadLE32(lump.data() + 24 + 4 * level);
        const std::size_t to = at + LoadLE32(map.data() + at + 24 + 4 * level);
        std::copy_n(lump.begin() + static_cast<std::ptrdiff_t>(from), pixels,
                    map.begin() + static_cast<std::ptrdiff_t>(to));
        mapEnd = to + pixels;
        lumpEnd = from + pixels;
    }
    if (palette) {
        std::copy_n(lump.begin() + static_cast<std::ptrdiff_t>(lumpEnd + 2), 768,
                    map.begin() + static_cast<std::ptrdiff_t>(mapEnd + 2));
    }
    return map;
}

// A wad of `kind` holding the mip texture `lump` as `name`, or nothing without a name.
void WriteWadOf(const std::string& path, WadKind kind, std::string_view name, const Bytes& lump) {
    const WadMember member{name, MipTextureType(kind), lump};
    ReplacingFile out(path);
    ASSERT_TRUE(WriteWad(out, kind, {&member, name.empty() ? 0U : 1U}) && out.Commit());
}

class ReplaceTest : public ::testing::Test {
protected:
    // A writable copy of a map of tests/data/maps, opened.
    std::size_t OpenMap(const char* name) {
        const fs::path copy = m_dir.Path() / name;
        fs::copy_file(test::DataPath(std::string("maps/") + name), copy,
                      fs::copy_options::overwrite_existing);
        fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
        return OpenOk(copy.string());
    }
    std::size_t OpenOk(const std::string& path) {
        std::string reason;
        const auto document = m_session.Open(path, reason);
        EXPECT_TRUE(document) << reason;
        return document.value_or(0);
    }
    std::size_t EntryNamed(std::size_t document, std::string_view name) {
        const auto& entries = m_session.Entries(document);
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const EditedEntry& e) { return e.name == name; });
        EXPECT_NE(found, entries.end()) << name;
        return static_cast<std::size_t>(found - entries.begin());
    }
    void SaveOk() {
        for (const SaveOutcome& outcome : m_session.Save()) {
            EXPECT_TRUE(outcome.saved) << outcome.reason;
        }
    }

    test::ScratchDir m_dir;
    EditSession m_session;
    std::string m_reason;
};

struct MapRow {
    const char* map;
    const char* texture;
    std::uint32_t size;
    bool palette; // a version-30 map's textures carry their own
};

TEST_F(ReplaceTest, AMapTextureTakesThePixelsOfOneItsSizeAndUndoAfterSaveBringsThemBack) {
    const MapRow rows[] = {{"q1_detail_fence2.bsp", "orangestuff8", 64, false},
                           {"hl.bsp", "embedded", 32, true}};
    for (const MapRow& row : rows) {
        SCOPED_TRACE(row.map);
        m_session.Close();
        const std::size_t map = OpenMap(row.map);
        EXPECT_EQ(m_session.Kind(map), DocumentKind::Map);
        const std::string path = m_session.Path(map);
        const Bytes before = ReadAll(path);
        const Bytes lump = MipLump(row.size, row.size, 5, row.palette);
        ASSERT_TRUE(m_session.Replace(map, EntryNamed(map, row.texture), lump, m_reason))
            << m_reason;
        SaveOk();
        EXPECT_EQ(ReadAll(path),
                  WithLevels(before, TexturePlace(before, row.texture).start, lump, row.palette));
        // The history holds the old pixels, though the file no longer does.
        m_session.Undo();
        SaveOk();
        EXPECT_EQ(ReadAll(path), before);
        m_session.Redo();
        SaveOk();
        EXPECT_EQ(ReadAll(path),
                  WithLevels(before, TexturePlace(before, row.texture).start, lump, row.palette));
    }
}

struct MapRefusal {
    const char* what;
    std::function<bool(EditSession&, std::size_t map, std::size_t wad, std::string&)> edit;
    std::string reason;
};

TEST_F(ReplaceTest, AMapKeepsItsTexturesNamesSizesAndPlaces) {
    const std::string fixed =
        "a map's textures keep their names and places: only their pictures are replaced";
    const MapRefusal rows[] = {
        {"another size",
         [](EditSession& s, std::size_t m, std::size_t, std::string& r) {
             return s.Replace(m, 0, MipLump(32, 32, 1, false), r);
         },
         "the map's texture is 64 x 64 and the picture 32 x 32: a map's textures are replaced "
         "only by pictures of their size"},
        {"rename",
         [](EditSession& s, std::size_t m, std::size_t, std::string& r) {
             return s.Rename(m, 0, "other", r);
         },
         fixed},
        {"add",
         [](EditSession& s, std::size_t m, std::size_t, std::string& r) {
             return s.Add(m, 0, {{"new", MipLump(16, 16, 1, false), 0x44}}, r);
         },
         fixed},
        {"name field",
         [](EditSession& s, std::size_t m, std::size_t, std::string& r) {
             const EditTarget target{m, 0};
             const FieldEdit edit{"name", "other"};
             return s.SetFields({&target, 1}, {&edit, 1}, r);
         },
         fixed},
        {"copy into the map",
         [](EditSession& s, std::size_t m, std::size_t w, std::string& r) {
             const std::size_t first[] = {0};
             return s.Copy(w, first, m, false, r);
         },
         fixed},
        {"move out of the map",
         [](EditSession& s, std::size_t m, std::size_t w, std::string& r) {
             const std::size_t first[] = {0};
             return s.Copy(m, first, w, true, r);
         },
         fixed},
    };
    for (const MapRefusal& row : rows) {
        SCOPED_TRACE(row.what);
        m_session.Close();
        const std::size_t map = OpenMap("q1_detail_fence2.bsp");
        WriteWadOf(m_dir.File("gfx.wad"), WadKind::Wad2, "brick", MipLump(8, 8, 1, false));
        const std::size_t wad = OpenOk(m_dir.File("gfx.wad"));
        ASSERT_EQ(m_session.Entries(map)[0].name, "orangestuff8");
        EXPECT_FALSE(row.edit(m_session, map, wad, m_reason));
        EXPECT_EQ(m_reason, row.reason);
        const std::size_t first[] = {0};
        EXPECT_FALSE(m_session.Remove(map, first, m_reason));
        EXPECT_EQ(m_reason, fixed);
        m_session.Move(map, first, 2);
        EXPECT_FALSE(m_session.Modified());
    }
}

TEST_F(ReplaceTest, AMapTextureWithoutPixelsIsNeitherReplacedNorCopied) {
    const std::size_t map = OpenMap("hl.bsp");
    const std::size_t outside = EntryNamed(map, "EXTERNAL");
    const std::string why =
        "the map holds no pixels for the texture (it lives in a wad outside the map)";
    EXPECT_FALSE(m_session.Replace(map, outside, MipLump(32, 32, 1, true), m_reason));
    EXPECT_EQ(m_reason, why);
    EXPECT_FALSE(Extract(m_session, map, {&outside, 1}, m_dir.File("out"), m_reason));
    EXPECT_EQ(m_reason, "EXTERNAL: " + why);
}

TEST_F(ReplaceTest, AMapTextureCopiedIntoAWadIsItsLumpAsTheMapHoldsIt) {
    const std::size_t map = OpenMap("q1_detail_fence2.bsp");
    const Bytes bytes = ReadAll(m_session.Path(map));
    const Place place = TexturePlace(bytes, "orangestuff8");
    WriteWadOf(m_dir.File("gfx.wad"), WadKind::Wad2, "", {});
    const std::size_t wad = OpenOk(m_dir.File("gfx.wad"));
    const std::size_t texture = EntryNamed(map, "orangestuff8");
    ASSERT_TRUE(m_session.Copy(map, {&texture, 1}, wad, false, m_reason)) << m_reason;
    EXPECT_FALSE(m_session.Modified(map));
    SaveOk();
    const Bytes lump(bytes.begin() + static_cast<std::ptrdiff_t>(place.start),
                     bytes.begin() + static_cast<std::ptrdiff_t>(place.end));
    WriteWadOf(m_dir.File("expected.wad"), WadKind::Wad2, "orangestuff8", lump);
    EXPECT_EQ(ReadAll(m_dir.Path() / "gfx.wad"), ReadAll(m_dir.Path() / "expected.wad"));
}

TEST_F(ReplaceTest, AWadTextureReplacedKeepsItsNameAndASeeThroughNamesHoles) {
    // Called "plain", but it replaces "{grate": the entry's name decides the holes.
    test::WriteAll(m_dir.Path() / "plain.tga",
                   test::MakeTga32(16, 16, [](std::int32_t x, std::int32_t) {
                       return std::array<std::uint8_t, 4>{
                           200, 100, 50, static_cast<std::uint8_t>(x < 4 ? 0 : 255)};
                   }));
    WriteWadOf(m_dir.File("three.wad"), WadKind::Wad3, "{grate", MipLump(8, 8, 1, true));
    const std::size_t wad = OpenOk(m_dir.File("three.wad"));
    const auto bytes = ReplacementOf(m_session, wad, 0, m_dir.File("plain.tga"), m_reason);
    ASSERT_TRUE(bytes) << m_reason;
    const auto texture = DecodeMipTexture(*bytes, WadKind::Wad3);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->name, "{grate");
    for (std::int32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(texture->image->pixels[static_cast<std::size_t>(16 * 3 + x)] == 255, x < 4) << x;
    }
}

TEST_F(ReplaceTest, APakTextureTakesAFileOfItsKindAsItIsAndAnyOtherPictureWithItsFields) {
    const Bytes wal = test::FieldFile(EditableFormat::Wal);
    const Bytes other = test::FieldFile(EditableFormat::M8);
    test::WriteAll(m_dir.Path() / "same.wal", other);
    test::WriteAll(
        m_dir.Path() / "wall.tga", test::MakeTga32(32, 16, [](std::int32_t x, std::int32_t y) {
            return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(8 * x),
                                               static_cast<std::uint8_t>(16 * y), 9, 255};
        }));
    ReplacingFile out(m_dir.File("mod.pak"));
    PakWriter pak(out, false);
    ASSERT_TRUE(pak.Add("textures/a.wal", wal) && pak.Add("readme.txt", Bytes{7}) && pak.Finish() &&
                out.Commit());
    const std::size_t document = OpenOk(m_dir.File("mod.pak"));

    EXPECT_EQ(ReplacementOf(m_session, document, 0, m_dir.File("same.wal"), m_reason), other);
    const auto converted = ReplacementOf(m_session, document, 0, m_dir.File("wall.tga"), m_reason);
    ASSERT_TRUE(converted) << m_reason;
    const auto image = ReadWalImage(*converted);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 32);
    EXPECT_EQ(ReadWalFields(*converted), test::KnownFields());
    EXPECT_FALSE(ReplacementOf(m_session, document, 1, m_dir.File("wall.tga"), m_reason));
    EXPECT_EQ(m_reason, "a pak's readme.txt is replaced only by a file of its own kind");
}

} // namespace
} // namespace texelary
