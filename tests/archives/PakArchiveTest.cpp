#include "archives/PakArchive.h"

#include "ArchiveFiles.h"
#include "TestFiles.h"
#include "archives/ArchiveBytes.h"
#include "archives/ArchiveInput.h"
#include "archives/ArchiveListing.h"

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
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
        // Whole in 72-byte entries only, so read in them: the first one's stored length is
        // the next name's first bytes.
        {"72-byte entries that make no sense", With32(two, 8, 72), EntryPastEnd},
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

// A pak of 72-byte entries: the header, `data` at 12, then a directory of `entries`.
struct LongEntry {
    std::string name;
    std::int32_t offset, length, stored, coding;
};

Bytes LongPak(const Bytes& data, const std::vector<LongEntry>& entries) {
    const auto count = static_cast<std::int32_t>(entries.size());
    test::Bytes b;
    b.Text("PACK", 4).I32(12 + static_cast<std::int32_t>(data.size())).I32(72 * count).Append(data);
    for (const LongEntry& e : entries) {
        b.Text(e.name, 56).I32(e.offset).I32(e.length).I32(e.stored).I32(e.coding);
    }
    return b.bytes;
}

struct LongPakCase {
    std::string what;
    Bytes data;
    LongEntry entry;
    ReadError directoryError;
    ReadError entryError = ReadError::None; // when the directory is read
    std::string bytes = {};                 // when the entry is read
};

TEST(PakRead, ReadsAndDecodesEntriesOf72BytesOrSaysWhyNot) {
    using enum ReadError;
    const Bytes every = {0x01, 'A', 'B', 0x41, 0x82, 'C', 0xFE, 0xC0, 0x07, 0xFF, 'x'};
    const std::vector<LongPakCase> cases = {
        {"stored plain", {'h', 'i'}, {"a/b.txt", 12, 2, 2, 0}, None, None, "hi"},
        {"every code, then the end",
         every,
         {"a", 12, 11, 11, 1},
         None,
         None,
         std::string("AB\0\0\0CCCCAB", 11)},
        {"no end code", {0x00, 'Z', 0x00}, {"a", 12, 1, 3, 1}, None, None, "Z"},
        {"a copy over its own output",
         {0x01, 'a', 'b', 0xC3, 0x00},
         {"a", 12, 7, 5, 1},
         None,
         None,
         "abababa"},
        {"the longest run a byte makes",
         {0x7F},
         {"a", 12, 65, 1, 1},
         None,
         None,
         std::string(65, '\0')},
        // The file is 86 bytes long: the directory follows the data.
        {"an entry past the end", {'h', 'i'}, {"a", 85, 2, 2, 0}, EntryPastEnd},
        {"an entry far past the end", {'h', 'i'}, {"a", 0x7FFFFFF0, 1, 1, 0}, EntryPastEnd},
        {"stored bytes past the end", {0x82, 'C'}, {"a", 12, 100, 75, 1}, EntryPastEnd},
        {"an entry over the header", {'h', 'i'}, {"a", 11, 2, 2, 0}, EntryOverlapsHeader},
        {"a plain entry of another length", {'h', 'i'}, {"a", 12, 1, 2, 0}, BadStoredEntry},
        {"more than its bytes can make", {0x7F}, {"a", 12, 66, 1, 1}, BadStoredEntry},
        {"a negative length", {0x7F}, {"a", 12, -1, 1, 1}, BadStoredEntry},
        {"an unknown coding", {'h', 'i'}, {"a", 12, 2, 2, 2}, Compressed},
        {"a name with no end", {'h', 'i'}, {std::string(56, 'a'), 12, 2, 2, 0}, NameTooLong},
        {"a run past the length", {0x82, 'C'}, {"a", 12, 3, 2, 1}, None, BadStoredEntry},
        {"bytes past the length",
         {0x03, 'a', 'b', 'c', 'd'},
         {"a", 12, 3, 5, 1},
         None,
         BadStoredEntry},
        {"a run cut short", {0x00, 'a', 0x82}, {"a", 12, 5, 3, 1}, None, BadStoredEntry},
        {"bytes cut short", {0x03, 'a'}, {"a", 12, 4, 2, 1}, None, BadStoredEntry},
        {"the end before the length", {0x00, 'a', 0xFF}, {"a", 12, 2, 3, 1}, None, BadStoredEntry},
        {"a copy from before the start",
         {0x00, 'a', 0xC0, 0x00},
         {"a", 12, 3, 4, 1},
         None,
         BadStoredEntry},
    };
    ScratchDir dir;
    for (const LongPakCase& c : cases) {
        ArchiveFile file = test::OpenBytes(dir, LongPak(c.data, {c.entry}));
        ReadError error = CannotOpen;
        const auto entries = ReadPakDirectory(file, &error);
        EXPECT_EQ(error, c.directoryError) << c.what;
        ASSERT_EQ(entries.has_value(), c.directoryError == None) << c.what;
        if (!entries) {
            continue;
        }
        ASSERT_EQ(entries->size(), 1u) << c.what;
        EXPECT_EQ(entries->at(0).name, c.entry.name) << c.what;
        const auto bytes = ReadPakEntry(file, entries->at(0), &error);
        EXPECT_EQ(error, c.entryError) << c.what;
        EXPECT_EQ(bytes, c.entryError == None ? std::optional(Bytes(c.bytes.begin(), c.bytes.end()))
                                              : std::nullopt)
            << c.what;
    }
}

// 576 bytes are 9 entries of 64 bytes or 8 of 72: the ones that make sense are read.
TEST(PakRead, ReadsADirectoryWholeInBothSizesInTheEntriesThatMakeSense) {
    ScratchDir dir;
    std::vector<LongEntry> longEntries;
    std::vector<test::RawEntry> shortEntries;
    for (int i = 0; i < 9; ++i) {
        longEntries.push_back({"e" + std::to_string(i), 12, 1, 1, 0});
        shortEntries.push_back({"e" + std::to_string(i), 12, 1});
    }
    longEntries.pop_back();
    ArchiveFile longFile = test::OpenBytes(dir, LongPak({'x'}, longEntries));
    const auto longRead = ReadPakDirectory(longFile);
    ASSERT_TRUE(longRead);
    EXPECT_EQ(longRead->size(), 8u);
    EXPECT_EQ(longRead->at(7), (PakEntry{"e7", 12, 1}));
    ArchiveFile shortFile = test::OpenBytes(dir, Pak(shortEntries));
    const auto shortRead = ReadPakDirectory(shortFile);
    ASSERT_TRUE(shortRead);
    EXPECT_EQ(shortRead->size(), 9u);
}

// The run-length codes as the layout comment of PakArchive.cpp gives them, written again here
// plainly so that the reader's decoding is checked against something it does not share.
std::string DecodeForTest(const Bytes& coded, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; out.size() < length && i < coded.size() && coded[i] != 255;) {
        const int code = coded[i++];
        if (code < 64) {
            out.append(coded.begin() + static_cast<std::ptrdiff_t>(i),
                       coded.begin() + static_cast<std::ptrdiff_t>(i) + code + 1);
            i += static_cast<std::size_t>(code) + 1;
        } else if (code < 128) {
            out.append(static_cast<std::size_t>(code - 62), '\0');
        } else if (code < 192) {
            out.append(static_cast<std::size_t>(code - 126), static_cast<char>(coded[i++]));
        } else if (code < 254) {
            const std::size_t back = coded[i++] + 2u;
            for (int n = 0; n < code - 190; ++n) {
                out.push_back(out[out.size() - back]);
            }
        }
    }
    return out;
}

TEST(PakRead, ReadsRealPaksOf72ByteEntries) {
    const std::string pakPath = Utf8Path(test::DataPath("family/dkpak.pak"));
    const Bytes whole = test::ReadAll(test::DataPath("family/dkpak.pak"));
    ArchiveFile pak(pakPath);
    const auto entries = ReadPakDirectory(pak);
    ASSERT_TRUE(entries);
    const std::vector<PakEntry> expected = {
        {"bear.cfg", 12, 1489},
        {"pics/tag1.pcx", 1501, 4993},
        {"pics/tag2.pcx", 6494, 5141},
        {"textures/e1u1/box1_3.wal", 11635, 4180},
        {"textures/e1u1/brlava.wal", 15815, 5540},
        {"textures/e1u2/angle1_1.wal", 21355, 5540},
        {"textures/e1u2/angle1_2.wal", 26895, 5540},
        {"textures/e1u2/basic1_7.wal", 32435, 5540},
        {"textures/e1u3/stflr1_5.wal", 37975, 1460},
        {"textures/e1u3/strs1_3.wal", 39435, 5540},
        {"amnet.cfg", 44975, 303, 419},
    };
    EXPECT_EQ(*entries, expected);
    for (const PakEntry& entry : expected) {
        const auto start = whole.begin() + entry.offset;
        const Bytes stored(start, start + entry.length);
        const auto bytes = ReadInput(pakPath + "/" + entry.name, nullptr);
        ASSERT_TRUE(bytes) << entry.name;
        if (!entry.decoded) {
            EXPECT_EQ(*bytes, stored) << entry.name;
            continue;
        }
        ASSERT_EQ(bytes->size(), 419u);
        const std::string text(bytes->begin(), bytes->end());
        EXPECT_EQ(text, DecodeForTest(stored, 419));
        EXPECT_TRUE(text.starts_with("//\n// my stuff\n//\n")) << text;
        EXPECT_TRUE(text.ends_with("alias v90 \"fov 90; sensitivity 13; bind mouse1 v30\"\n"));
    }
}

TEST(PakRead, DecodesCodedEntriesThatEndEitherWayAndRefusesACutOne) {
    const std::string pakPath = Utf8Path(test::DataPath("family/dkpak_rle.pak"));
    EXPECT_EQ(ListArchiveEntries(pakPath, "", std::nullopt, ListingDepth::Recursive),
              (std::vector<std::string>{"terminated.bin", "unterminated.bin", "plain.txt",
                                        "corrupt.bin"}));
    const std::vector<std::pair<std::string, std::string>> read = {
        {"terminated.bin", std::string("AB\0\0\0CCCCAB", 11)},
        {"unterminated.bin", "Z"},
        {"plain.txt", "hello"},
    };
    for (const auto& [name, text] : read) {
        EXPECT_EQ(ReadInput(pakPath + "/" + name, nullptr), Bytes(text.begin(), text.end()))
            << name;
    }
    const OpenedArchive& archive = ArchiveAt(pakPath);
    ReadError error = ReadError::None;
    EXPECT_FALSE(archive.Read(*archive.Find("corrupt.bin"), &error));
    EXPECT_EQ(error, ReadError::BadStoredEntry);
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
