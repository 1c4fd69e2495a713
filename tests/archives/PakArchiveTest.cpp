#include "archives/PakArchive.h"

#include "ArchiveFiles.h"
#include "TestFiles.h"
#include "archives/ArchiveBytes.h"
#include "archives/ArchiveInput.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::ScratchDir;
using test::With32;
using Bytes = std::vector<std::uint8_t>;

Bytes Pak(const std::vector<test::RawEntry>& entries, std::string_view signature = "PACK") {
    return test::ArchiveBytes(signature, entries);
}

struct PakCase {
    std::string what;
    Bytes bytes;
    ReadError error;
    std::vector<PakEntry> entries = {}; // when read
};

std::vector<PakCase> PakCases() {
    using enum ReadError;
    const Bytes two = Pak({{"maps/e1m1.bsp", 12, 5}, {"gfx.wad", 17, 3}}); // 148 bytes
    std::vector<PakCase> cases = {
        {"two entries", two, None, {{"maps/e1m1.bsp", 12, 5}, {"gfx.wad", 17, 3}}},
        {"no entries", Pak({}), None},
        {"an empty entry at the end", Pak({{"a", 20, 0}}), None, {{"a", 20, 0}}},
        {"an entry up to the end", Pak({{"a", 12, 72}}), None, {{"a", 12, 72}}},
        {"no bytes", {}, ArchiveTruncated},
        {"a cut header", {'P', 'A', 'C', 'K', 20, 0, 0, 0}, ArchiveTruncated},
        {"another signature", Pak({}, "PAKC"), NotAnArchive},
        {"SPAK", Pak({{"a", 12, 1}, {"b", 13, 1}}, "SPAK"), Spak},
        {"72-byte entries", With32(two, 8, 72), PakEntries72},
        {"a length of no whole entries", With32(two, 8, 100), BadDirectoryLength},
        {"a negative directory length", With32(two, 8, -64), BadDirectoryLength},
        {"more entries than allowed", With32(two, 8, 64 * ((1 << 18) + 1)), BadEntryCount},
        {"the directory over the header", With32(two, 4, 8), DirectoryOverlapsHeader},
        {"the directory past the end", With32(two, 8, 192), DirectoryPastEnd},
        {"an entry over the header", Pak({{"a", 11, 1}}), EntryOverlapsHeader},
        {"a negative offset", Pak({{"a", -1, 1}}), EntryOverlapsHeader},
        {"an entry past the end", Pak({{"a", 12, 73}}), EntryPastEnd},
        {"a negative length", Pak({{"a", 12, -1}}), EntryPastEnd},
        {"an entry past 2 GB", Pak({{"a", 12, 0x7FFFFFFF}}), EntryPastEnd},
        {"a name with no end", Pak({{std::string(56, 'a'), 12, 1}}), NameTooLong},
        {"a bad second name", Pak({{"a", 12, 1}, {"../b", 12, 1}}), NameParent},
    };
    const std::vector<std::pair<std::string, ReadError>> names = {
        {"a..b/c.d/...", None},  {"", NameEmpty},           {"/etc/passwd", NameAbsolute},
        {"..", NameParent},      {"a/../../b", NameParent}, {"a/..", NameParent},
        {"a//b", NameEmptyPart}, {"a/", NameEmptyPart},     {"./a", NameEmptyPart},
        {"a\\b", NameBackslash}, {"C:b", NameColon},        {"a/b:c", NameColon},
        {"a\tb", NameControl},   {"a\x7F", NameControl},    {"\x1B[2J", NameControl},
    };
    for (const auto& [name, error] : names) {
        cases.push_back(
            {"the name \"" + name + "\"", Pak({{name, 12, 1}}), error, {{name, 12, 1}}});
    }
    return cases;
}

TEST(PakRead, ReadsTheDirectoryOrSaysWhyNot) {
    ScratchDir dir;
    for (const PakCase& c : PakCases()) {
        ArchiveFile file = test::OpenBytes(dir, c.bytes);
        ReadError error = ReadError::CannotOpen;
        const auto entries = ReadPakDirectory(file, &error);
        EXPECT_EQ(error, c.error) << c.what;
        ASSERT_EQ(entries.has_value(), c.error == ReadError::None) << c.what;
        if (entries) {
            EXPECT_EQ(*entries, c.entries) << c.what;
        }
    }
    ReadError error = ReadError::None;
    ArchiveFile missing(dir.File("missing.pak"));
    EXPECT_FALSE(ReadPakDirectory(missing, &error));
    EXPECT_EQ(error, ReadError::NoSuchFile);
    ArchiveFile folder(Utf8Path(dir.Path()));
    EXPECT_FALSE(ReadPakDirectory(folder, &error));
    EXPECT_EQ(error, ReadError::NotAFile);
}

TEST(PakWrite, WritesWhatItsReaderReadsBack) {
    ScratchDir dir;
    const Bytes wall(300, 7);
    const Bytes readme = {'h', 'i'};
    const std::vector<ArchiveMember> members = {
        {"textures/wall.wal", wall}, {"empty", {}}, {"readme.txt", readme}};
    ReplacingFile out(dir.File("out.pak"));
    ASSERT_TRUE(WritePak(out, members));
    ASSERT_TRUE(out.Commit());
    ArchiveFile file(dir.File("out.pak"));
    const auto entries = ReadPakDirectory(file);
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries,
              (std::vector<PakEntry>{
                  {"textures/wall.wal", 12, 300}, {"empty", 312, 0}, {"readme.txt", 312, 2}}));
    EXPECT_EQ(ReadPakEntry(file, entries->at(0)), wall);
    EXPECT_EQ(ReadPakEntry(file, entries->at(2)), readme);
    EXPECT_EQ(file.Size(), 12u + 302u + 3u * 64u); // the directory right after the bytes
    ReadError error = ReadError::None;
    EXPECT_FALSE(file.Read(12, SIZE_MAX, &error)); // refused before anything is allocated
    EXPECT_EQ(error, ReadError::ArchiveTruncated);
    // Entries are read from the file as it is when asked for.
    std::filesystem::resize_file(dir.Path() / "out.pak", 16);
    EXPECT_FALSE(ReadPakEntry(file, entries->at(0), &error));
    EXPECT_EQ(error, ReadError::ArchiveTruncated);
}

// Reading an entry leaves the archive free: it can be replaced at once (Windows refuses to
// replace a file held open), and the next read sees the new archive.
TEST(PakRead, AnArchiveReadFromCanBeReplacedAndIsReadAnew) {
    ScratchDir dir;
    const auto pak = [](std::string_view text) {
        test::Bytes bytes;
        bytes.Text("PACK", 4).I32(12 + static_cast<std::int32_t>(text.size())).I32(64);
        bytes.Text(text, text.size())
            .Text("a.txt", 56)
            .I32(12)
            .I32(static_cast<std::int32_t>(text.size()));
        return bytes.bytes;
    };
    test::WriteAll(dir.Path() / "x.pak", pak("old"));
    const std::string entry = dir.File("x.pak") + "/a.txt";
    EXPECT_EQ(ReadInput(entry, nullptr), (Bytes{'o', 'l', 'd'}));
    ASSERT_TRUE(WriteFileReplacing(dir.File("x.pak"), pak("newer")));
    EXPECT_EQ(ReadInput(entry, nullptr), (Bytes{'n', 'e', 'w', 'e', 'r'}));
}

} // namespace
} // namespace texelary
