#include "archives/WadArchive.h"

#include "TestFiles.h"
#include "archives/ArchiveBytes.h"
#include "archives/PakArchive.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::ScratchDir;
using test::With32;
using Bytes = std::vector<std::uint8_t>;

Bytes Wad(const std::vector<test::RawEntry>& lumps, std::string_view signature = "WAD2") {
    return test::ArchiveBytes(signature, lumps);
}

struct WadCase {
    const char* what;
    Bytes bytes;
    ReadError error;
    std::vector<WadLump> lumps = {}; // when read
    WadKind kind = WadKind::Wad2;
};

std::vector<WadCase> WadCases() {
    using enum ReadError;
    const std::vector<test::RawEntry> raw = {{"brick", 12, 5, 0x44}, {"palette", 17, 3, 0x40}};
    const std::vector<WadLump> read = {{"brick", 12, 5, 5, 0x44, 0},
                                       {"palette", 17, 3, 3, 0x40, 0}};
    const Bytes two = Wad(raw);                                       // 84 bytes
    const auto one = [](test::RawEntry lump) { return Wad({lump}); }; // 52 bytes
    return {
        {"a WAD2", two, None, read},
        {"a WAD3", Wad(raw, "WAD3"), None, read, WadKind::Wad3},
        {"leftovers after a name",
         one({std::string("ab\0junk", 7), 12, 8, 0x43}),
         None,
         {{"ab", 12, 8, 8, 0x43, 0}}},
        {"a lump up to the end", one({"a", 12, 40}), None, {{"a", 12, 40, 40, 0x44, 0}}},
        {"no bytes", {}, ArchiveTruncated},
        {"a cut header", {'W', 'A', 'D', '2', 1, 0, 0, 0, 20}, ArchiveTruncated},
        {"WAD4", Wad(raw, "WAD4"), NotAnArchive},
        {"a pak", Wad(raw, "PACK"), NotAnArchive},
        {"a negative count", With32(two, 4, -1), BadEntryCount},
        {"more lumps than the file holds", With32(two, 4, 3), BadEntryCount},
        {"more lumps than allowed", With32(two, 4, (1 << 18) + 1), BadEntryCount},
        {"the directory over the header", With32(two, 8, 4), DirectoryOverlapsHeader},
        {"the directory past the end", With32(two, 8, 40), DirectoryPastEnd},
        {"a compressed lump", one({"a", 12, 5, 0x44, 1}), Compressed},
        {"a lump over the header", one({"a", 8, 5}), EntryOverlapsHeader},
        {"a lump past the end", one({"a", 12, 41}), EntryPastEnd},
        {"a negative size", one({"a", 12, -1}), EntryPastEnd},
        {"a name with no end", one({std::string(16, 'n'), 12, 1}), NameTooLong},
        {"a name with a backslash", one({"a\\b", 12, 1}), NameBackslash},
    };
}

TEST(WadRead, ReadsTheDirectoryOrSaysWhyNot) {
    ScratchDir dir;
    for (const WadCase& c : WadCases()) {
        ArchiveFile file = test::OpenBytes(dir, c.bytes);
        ReadError error = ReadError::CannotOpen;
        const auto directory = ReadWadDirectory(file, &error);
        EXPECT_EQ(error, c.error) << c.what;
        ASSERT_EQ(directory.has_value(), c.error == ReadError::None) << c.what;
        if (directory) {
            EXPECT_EQ(directory->kind, c.kind) << c.what;
            EXPECT_EQ(directory->lumps, c.lumps) << c.what;
        }
    }
}

// A name either writer refuses leaves the archive whole: the entries before and after it are
// written and read back, the refused one is not. The writer names the rule it breaks.
TEST(ArchiveWrite, ARefusedNameIsLeftOutAndTheArchiveStaysWhole) {
    ScratchDir dir;
    const Bytes bytes = {1, 2, 3};
    for (const std::size_t field : {std::size_t{56}, std::size_t{16}}) {
        const bool pak = field == 56;
        const std::string longest(field - 1, 'n');
        for (const auto& [name, expected] :
             {std::pair{longest, ReadError::None}, std::pair{longest + "n", ReadError::NameTooLong},
              std::pair{std::string("a/../b"), ReadError::NameParent}}) {
            SCOPED_TRACE(name);
            std::vector<std::string> names;
            {
                ReplacingFile out(dir.File("out"));
                std::unique_ptr<ArchiveWriter> made;
                if (pak) {
                    made = std::make_unique<PakWriter>(out);
                } else {
                    made = std::make_unique<WadWriter>(out, WadKind::Wad2);
                }
                ArchiveWriter& writer = *made;
                ASSERT_TRUE(writer.Add("first", bytes, 0x44));
                WriteError error = WriteError::CannotWrite;
                EXPECT_EQ(writer.Add(name, bytes, 0x44, &error), expected == ReadError::None);
                EXPECT_EQ(error, expected == ReadError::None ? WriteError::None
                                                             : WriteError::BadEntryName);
                EXPECT_EQ(writer.CheckName(name), expected);
                ASSERT_TRUE(writer.Add("last", bytes, 0x44));
                ASSERT_TRUE(writer.Finish());
                ASSERT_TRUE(out.Commit());
            }
            ArchiveFile file(dir.File("out"));
            if (pak) {
                const auto entries = ReadPakDirectory(file);
                ASSERT_TRUE(entries);
                for (const PakEntry& entry : *entries) {
                    names.push_back(entry.name);
                }
            } else {
                const auto wad = ReadWadDirectory(file);
                ASSERT_TRUE(wad);
                for (const WadLump& lump : wad->lumps) {
                    names.push_back(lump.name);
                }
            }
            const std::vector<std::string> kept =
                expected == ReadError::None ? std::vector<std::string>{"first", name, "last"}
                                            : std::vector<std::string>{"first", "last"};
            EXPECT_EQ(names, kept);
        }
    }
}

} // namespace
} // namespace texelary
