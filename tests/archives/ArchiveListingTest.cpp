#include "archives/ArchiveListing.h"

#include "ArchiveFiles.h"
#include "TestFiles.h"
#include "archives/PakArchive.h"
#include "formats/Formats.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::ScratchDir;
using Names = std::vector<std::string>;

// base.pak, gfx.wad (a WAD2), a folder named like an archive and one that is none.
void WriteArchives(const ScratchDir& dir) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
    const std::vector<ArchiveMember> entries = {
        {"textures/e1/a.wal", bytes}, {"textures/e1/b.bmp", bytes},
        {"textures/top.wal", bytes},  {"textures/e1/deep/c.wal", bytes},
        {"readme.txt", bytes},
    };
    ReplacingFile pak(dir.File("base.pak"));
    ASSERT_TRUE(WritePak(pak, entries));
    ASSERT_TRUE(pak.Commit());
    const std::vector<WadMember> lumps = {
        {"brick", MipTextureType(WadKind::Wad2), bytes},
        {"palette", 0x40, bytes},
        {"sky/one", 0x40, bytes}, // no folder of a wad
        {"Water", MipTextureType(WadKind::Wad2), bytes},
    };
    ReplacingFile wad(dir.File("gfx.wad"));
    ASSERT_TRUE(WriteWad(wad, WadKind::Wad2, lumps));
    ASSERT_TRUE(wad.Commit());
    std::filesystem::create_directories(dir.Path() / "folder.pak");
    std::filesystem::create_directories(dir.Path() / "plain");
}

struct ListingCase {
    const char* what;
    const char* path; // in the scratch directory
    std::optional<SourceFormat> format;
    ListingDepth depth;
    // What is listed under the archive and folder the path names; none for a path that is no
    // archive and runs through none.
    std::optional<Names> listed;
};

TEST(ArchiveListing, ListsWhatLiesUnderAPathByFormatAndDepth) {
    using enum ListingDepth;
    const std::vector<ListingCase> cases = {
        {"the pak's top", "base.pak", {}, Folder, Names{"readme.txt"}},
        {"the pak, recursive", "base.pak", SourceFormat::Wal, Recursive,
         Names{"textures/e1/a.wal", "textures/top.wal", "textures/e1/deep/c.wal"}},
        {"a folder", "base.pak/textures", SourceFormat::Wal, Folder, Names{"textures/top.wal"}},
        {"a folder with a closing slash", "base.pak/textures/e1/", SourceFormat::Wal, Folder,
         Names{"textures/e1/a.wal"}},
        {"a folder, recursive", "base.pak/textures/e1", SourceFormat::Wal, Recursive,
         Names{"textures/e1/a.wal", "textures/e1/deep/c.wal"}},
        {"another format", "base.pak/textures/e1", SourceFormat::Bmp, Folder,
         Names{"textures/e1/b.bmp"}},
        {"an entry, whatever its format", "base.pak/textures/e1/b.bmp", SourceFormat::Wal,
         Recursive, Names{"textures/e1/b.bmp"}},
        {"an entry is no folder", "base.pak/textures/e1/b.bmp", SourceFormat::Bmp, Folder, Names{}},
        {"a folder the pak does not have", "base.pak/sounds", {}, Recursive, Names{}},
        {"no mip textures in a pak", "base.pak", SourceFormat::Wad2, Recursive, Names{}},
        {"a wad's lumps", "gfx.wad", {}, Folder, Names{"brick", "palette", "Water"}},
        {"a wad's textures", "gfx.wad", SourceFormat::Wad2, Folder, Names{"brick", "Water"}},
        {"a wad of another kind", "gfx.wad", SourceFormat::Wad3, Recursive, Names{}},
        {"a folder named as an archive", "folder.pak", {}, Folder, std::nullopt},
        {"a folder", "plain", {}, Folder, std::nullopt},
        {"a missing file", "plain/missing.pak/a.wal", {}, Folder, std::nullopt},
    };
    ScratchDir dir;
    WriteArchives(dir);
    for (const ListingCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto place = ArchiveFolderOf(dir.File(c.path));
        ASSERT_EQ(place.has_value(), c.listed.has_value());
        if (!place) {
            continue;
        }
        const std::string path = c.path;
        EXPECT_EQ(place->archive, dir.File(path.substr(0, path.find('/'))));
        ReadError error = ReadError::ArchiveCannotOpen;
        EXPECT_EQ(ListArchiveEntries(place->archive, place->entry, c.format, c.depth, &error),
                  c.listed);
        EXPECT_EQ(error, ReadError::None);
    }
}

// The path chooser's folders, the run's look-up of a name, and the reason an archive is refused.
TEST(ArchiveListing, FoldersNamesAndRefusals) {
    ScratchDir dir;
    WriteArchives(dir);
    EXPECT_EQ(ListArchiveFolders(dir.File("base.pak")),
              (Names{"textures", "textures/e1", "textures/e1/deep"}));
    EXPECT_EQ(ListArchiveFolders(dir.File("gfx.wad")), Names{});

    const OpenedArchive& wad = ArchiveAt(dir.File("gfx.wad"));
    ASSERT_NE(wad.Find("WATER"), nullptr);
    EXPECT_EQ(wad.Find("WATER")->name, "Water");
    EXPECT_EQ(ArchiveAt(dir.File("base.pak")).Find("README.TXT"), nullptr);

    test::WriteAll(dir.Path() / "junk.pak", std::vector<std::uint8_t>(16, 'x'));
    for (const auto& [name, expected] :
         {std::pair{"plain", ReadError::NotAFile}, std::pair{"gone.pak", ReadError::NoSuchFile},
          std::pair{"junk.pak", ReadError::NotAnArchive}}) {
        ReadError error = ReadError::None;
        EXPECT_FALSE(ListArchiveEntries(dir.File(name), {}, {}, ListingDepth::Folder, &error));
        EXPECT_EQ(error, expected) << name;
    }
}

} // namespace
} // namespace texelary
