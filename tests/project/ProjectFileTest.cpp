#include "project/ProjectFile.h"

#include "TestFiles.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The largest single allocation made since the last reset, so a test can see that a count the
// file cannot hold is refused before anything is allocated for it.
namespace {
std::atomic<std::size_t> largestAllocation{0};
}

[[gnu::noinline]] void* operator new(std::size_t size) {
    std::size_t seen = largestAllocation.load();
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* memory) noexcept {
    std::free(memory);
}
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace texelary {

// Readable failure messages; internal linkage keeps it to this test.
[[maybe_unused]] static void PrintTo(const Project& project, std::ostream* out) {
    *out << "{in \"" << project.inputDir << "\", out \"" << project.outputDir << "\", from "
         << IndexOf(project.convFrom) << ", to " << IndexOf(project.convTo) << ", files";
    for (const std::string& name : project.files) {
        *out << " \"" << name << "\"";
    }
    *out << "}";
}

namespace {

using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;
using Bytes = std::vector<std::uint8_t>;

// Builds project files byte by byte, independently of the writer: a valid signature, version and
// count, everything else zero until set.
class ProjectBytes {
public:
    ProjectBytes(std::int32_t count, std::size_t nameFields)
        : m_bytes(308 + 128 * nameFields, 0) {
        Text(0, "Texelary");
        Text(32, "1.00");
        I32(40, count);
    }

    ProjectBytes& Text(std::size_t offset, std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            m_bytes.at(offset + i) = static_cast<std::uint8_t>(text[i]);
        }
        return *this;
    }
    ProjectBytes& I32(std::size_t offset, std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (std::size_t i = 0; i < 4; ++i) {
            m_bytes.at(offset + i) = static_cast<std::uint8_t>(bits >> (8 * i));
        }
        return *this;
    }
    ProjectBytes& Fill(std::size_t offset, std::size_t length, std::uint8_t value) {
        for (std::size_t i = 0; i < length; ++i) {
            m_bytes.at(offset + i) = value;
        }
        return *this;
    }
    ProjectBytes& Resize(std::size_t size) {
        m_bytes.resize(size, 0xEE);
        return *this;
    }

    Bytes Get() const { return m_bytes; }

private:
    Bytes m_bytes;
};

// The project the hand-built reference file below holds.
Project ReferenceProject() {
    Project project;
    project.inputDir = "C:\\tex";
    project.outputDir = "D:\\out";
    project.convFrom = SourceFormat::Wal;
    project.convTo = TargetFormat::Wal;
    project.files = {"wall.bmp", "stone.bmp"};
    return project;
}

ProjectBytes ReferenceFile() {
    ProjectBytes file(2, 2);
    file.Text(44, "C:\\tex").Text(172, "D:\\out").I32(300, 1).I32(304, 2);
    file.Text(308, "wall.bmp").Text(436, "stone.bmp");
    return file;
}

// A project that differs from every project loaded below, to see that a refused load keeps it.
Project UntouchedProject() {
    Project project;
    project.inputDir = "/home/me/in";
    project.outputDir = "/home/me/out";
    project.convFrom = SourceFormat::M8;
    project.convTo = TargetFormat::M8;
    project.files = {"keep.m8"};
    return project;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

TEST(ProjectFile, SavedFileHasTheExactLayout) {
    ScratchDir dir;
    Project project = ReferenceProject();
    project.convFrom = SourceFormat::M8;
    project.convTo = TargetFormat::Wal;
    ASSERT_TRUE(SaveProject(project, dir.File("two.mm")));
    const Bytes saved = ReadAll(dir.File("two.mm"));
    ASSERT_EQ(saved.size(), 564u);

    const Bytes first40 = {'T', 'e', 'x', 'e', 'l', 'a', 'r', 'y', 0, 0, 0, 0, 0, 0,
                           0,   0,   0,   0,   0,   0,   0,   0,   0, 0, 0, 0, 0, 0,
                           0,   0,   0,   0,   '1', '.', '0', '0', 0, 0, 0, 0};
    EXPECT_EQ(Slice(saved, 0, 40), first40);
    EXPECT_EQ(Slice(saved, 300, 8), (Bytes{1, 0, 0, 0, 1, 0, 0, 0}));
    // Every byte, including the zeros after each text.
    EXPECT_EQ(saved, ReferenceFile().I32(304, 1).Get());

    // The convert-to index is stored first.
    project.convFrom = SourceFormat::Wal;
    project.convTo = TargetFormat::M8;
    ASSERT_TRUE(SaveProject(project, dir.File("two.mm")));
    EXPECT_EQ(Slice(ReadAll(dir.File("two.mm")), 300, 8), (Bytes{0, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(ProjectFile, ProjectWithoutNamesIsTheHeaderAlone) {
    ScratchDir dir;
    Project project;
    project.inputDir = "/data/in";
    project.outputDir = "/data/out";
    ASSERT_TRUE(SaveProject(project, dir.File("empty.mm")));
    const Bytes saved = ReadAll(dir.File("empty.mm"));
    EXPECT_EQ(saved.size(), 308u);
    EXPECT_EQ(saved, ProjectBytes(0, 0).Text(44, "/data/in").Text(172, "/data/out").Get());
    EXPECT_EQ(EncodeProject(project), saved);
}

TEST(ProjectFile, ProjectsSurviveASaveAndALoad) {
    std::vector<Project> projects;
    projects.push_back(ReferenceProject());
    projects.push_back(Project{});
    Project spaced;
    spaced.inputDir = "C:\\My Textures\\old set";
    spaced.outputDir = "/tmp/Mauer grün/\xE5\xA3\x81";
    spaced.convFrom = SourceFormat::M8;
    spaced.convTo = TargetFormat::Wal;
    spaced.files = {"wall one.bmp", "gr\xC3\xBCn.m8", "\xE5\xA3\x81.wal", "", " lead.bmp"};
    projects.push_back(spaced);
    Project full;
    full.inputDir = std::string(127, 'i'); // exactly what a field holds
    full.outputDir = std::string(127, 'o');
    full.convFrom = SourceFormat::Pcx; // the last formats of each list
    full.convTo = TargetFormat::Png;
    for (int i = 0; i < 100; ++i) {
        full.files.push_back("name" + std::to_string(i) + ".bmp");
    }
    full.files.push_back(std::string(127, 'n'));
    projects.push_back(full);

    ScratchDir dir;
    for (std::size_t i = 0; i < projects.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<std::string> cut;
        ASSERT_TRUE(SaveProject(projects[i], dir.File("p.mm"), &cut));
        EXPECT_TRUE(cut.empty());
        EXPECT_EQ(ReadAll(dir.File("p.mm")).size(), 308 + 128 * projects[i].files.size());
        Project loaded = UntouchedProject();
        ASSERT_TRUE(LoadProject(loaded, dir.File("p.mm")));
        EXPECT_EQ(loaded, projects[i]);
        EXPECT_EQ(ParseProject(EncodeProject(projects[i])), projects[i]);
    }
}

TEST(ProjectFile, HandBuiltFileLoads) {
    ScratchDir dir;
    WriteAll(dir.File("ref.mm"), ReferenceFile().Get());
    Project project = UntouchedProject();
    ASSERT_TRUE(LoadProject(project, dir.File("ref.mm")));
    EXPECT_EQ(project, ReferenceProject());
}

TEST(ProjectFile, DamagedFilesAreRefusedAndTheProjectStaysAsItWas) {
    constexpr auto maxCount = std::numeric_limits<std::int32_t>::max();
    struct Case {
        const char* what;
        Bytes file;
        ReadError reason;
    };
    const Case cases[] = {
        {"wrong signature", ReferenceFile().Text(0, "Texelarz").Get(), ReadError::NotAProject},
        {"signature in other letters", ReferenceFile().Text(0, "texelary").Get(),
         ReadError::NotAProject},
        {"signature letters followed by letters", ReferenceFile().Text(8, "X").Get(),
         ReadError::NotAProject},
        {"version 1.01", ReferenceFile().Text(32, "1.01").Get(), ReadError::ProjectVersion},
        {"version followed by a digit", ReferenceFile().Text(36, "0").Get(),
         ReadError::ProjectVersion},
        {"one byte short of its count", ReferenceFile().Resize(563).Get(),
         ReadError::ProjectCutShort},
        {"a whole name short of its count", ReferenceFile().Resize(436).Get(),
         ReadError::ProjectCutShort},
        {"header cut short", ReferenceFile().Resize(307).Get(), ReadError::ProjectCutShort},
        {"signature alone", ReferenceFile().Resize(32).Get(), ReadError::ProjectCutShort},
        {"negative count", ReferenceFile().I32(40, -1).Get(), ReadError::ProjectDamaged},
        {"most negative count",
         ReferenceFile().I32(40, std::numeric_limits<std::int32_t>::min()).Get(),
         ReadError::ProjectDamaged},
        {"count larger than the file", ReferenceFile().I32(40, 3).Get(),
         ReadError::ProjectCutShort},
        {"largest count", ReferenceFile().I32(40, maxCount).Get(), ReadError::ProjectCutShort},
        {"input directory without zero", ReferenceFile().Fill(44, 128, 'a').Get(),
         ReadError::ProjectDamaged},
        {"output directory without zero", ReferenceFile().Fill(172, 128, 'b').Get(),
         ReadError::ProjectDamaged},
        {"first name without zero", ReferenceFile().Fill(308, 128, 'c').Get(),
         ReadError::ProjectDamaged},
        {"last name without zero", ReferenceFile().Fill(436, 128, 'd').Get(),
         ReadError::ProjectDamaged},
        {"convert-from past the last", ReferenceFile().I32(304, kSourceFormatCount).Get(),
         ReadError::ProjectDamaged},
        {"convert-from -1", ReferenceFile().I32(304, -1).Get(), ReadError::ProjectDamaged},
        {"convert-to past the last", ReferenceFile().I32(300, kTargetFormatCount).Get(),
         ReadError::ProjectDamaged},
        {"convert-to -1", ReferenceFile().I32(300, -1).Get(), ReadError::ProjectDamaged},
        {"empty file", Bytes{}, ReadError::Empty},
    };

    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(ParseProject(c.file));
        WriteAll(dir.File("bad.mm"), c.file);
        Project project = UntouchedProject();
        ReadError reason = ReadError::None;
        EXPECT_FALSE(LoadProject(project, dir.File("bad.mm"), &reason));
        EXPECT_EQ(project, UntouchedProject());
        EXPECT_EQ(reason, c.reason);
    }
}

TEST(ProjectFile, CountsTheFileCannotHoldAreRefusedBeforeAllocating) {
    for (const std::int32_t count : {3, 1 << 20, std::numeric_limits<std::int32_t>::max()}) {
        SCOPED_TRACE(count);
        const Bytes file = ReferenceFile().I32(40, count).Get();
        largestAllocation = 0;
        EXPECT_FALSE(ParseProject(file));
        EXPECT_LT(largestAllocation.load(), file.size());
    }
}

TEST(ProjectFile, FilesThatCannotBeReadAreRefused) {
    ScratchDir dir;
    Project project = UntouchedProject();
    ReadError reason = ReadError::None;
    EXPECT_FALSE(LoadProject(project, dir.File("missing.mm"), &reason));
    EXPECT_EQ(project, UntouchedProject());
    EXPECT_STREQ(DescribeReadError(reason), "no such file");
    EXPECT_FALSE(LoadProject(project, dir.Path().string(), &reason));
    EXPECT_EQ(project, UntouchedProject());
    EXPECT_STREQ(DescribeReadError(reason), "not a file");
}

TEST(ProjectFile, BytesAfterATextsZeroAreIgnored) {
    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"junk after the signature's zero", ReferenceFile().Fill(9, 23, 0xAB).Get()},
        {"junk after the version's zero", ReferenceFile().Fill(37, 3, '7').Get()},
        {"junk after a directory's zero", ReferenceFile().Fill(51, 121, 'x').Get()},
        {"junk after a name's zero", ReferenceFile().Text(317, "old.bmp").Fill(500, 64, 1).Get()},
        {"bytes after the last name", ReferenceFile().Resize(600).Get()},
    };

    ScratchDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ParseProject(c.file), ReferenceProject());
        WriteAll(dir.File("odd.mm"), c.file);
        Project project = UntouchedProject();
        EXPECT_TRUE(LoadProject(project, dir.File("odd.mm")));
        EXPECT_EQ(project, ReferenceProject());
    }
}

TEST(ProjectFile, LongTextsAreStoredCutAndReported) {
    std::string longDir;
    for (int i = 0; i < 130; ++i) {
        longDir.push_back(static_cast<char>('a' + i % 26));
    }
    const std::string longName = std::string(200, 'n') + ".bmp";
    const std::string zeroInside("ab\0cd.bmp", 9);
    Project project = ReferenceProject();
    project.inputDir = longDir;
    project.outputDir = std::string(127, 'o'); // fits: not reported
    project.files = {"short.bmp", longName, zeroInside};

    ScratchDir dir;
    std::vector<std::string> cut = {"from before"};
    ASSERT_TRUE(SaveProject(project, dir.File("long.mm"), &cut));
    EXPECT_EQ(cut, (std::vector<std::string>{"from before", longDir, longName, zeroInside}));

    const Bytes saved = ReadAll(dir.File("long.mm"));
    ASSERT_EQ(saved.size(), 308u + 3 * 128);
    EXPECT_EQ(saved, ReferenceFile()
                         .Resize(308 + 3 * 128)
                         .Fill(308, 3 * 128, 0)
                         .I32(40, 3)
                         .Fill(44, 128, 0)
                         .Text(44, longDir.substr(0, 127))
                         .Fill(172, 128, 0)
                         .Text(172, project.outputDir)
                         .Text(308, "short.bmp")
                         .Text(436, longName.substr(0, 127))
                         .Text(564, "ab")
                         .Get());

    Project loaded;
    ASSERT_TRUE(LoadProject(loaded, dir.File("long.mm")));
    EXPECT_EQ(loaded.inputDir, longDir.substr(0, 127));
    EXPECT_EQ(loaded.files, (std::vector<std::string>{"short.bmp", longName.substr(0, 127), "ab"}));

    // The byte form reports the same texts and works without a list.
    std::vector<std::string> encodeCut;
    EXPECT_EQ(EncodeProject(project, &encodeCut), saved);
    EXPECT_EQ(encodeCut, (std::vector<std::string>{longDir, longName, zeroInside}));
    EXPECT_EQ(EncodeProject(project), saved);
}

// A cut never splits a UTF-8 character; names in an ANSI code page are cut at the field's end.
TEST(ProjectFile, TextsAreCutBetweenCharacters) {
    Project project = ReferenceProject();
    const std::string utf8 = std::string(125, 'n') + test::Utf8(u8"壁€.bmp");
    const std::string ansi = std::string(126, 'n') + "\xE9\xE9.bmp";
    project.files = {utf8, ansi, test::Utf8(u8"€uro.bmp")};
    ScratchDir dir;
    std::vector<std::string> cut;
    ASSERT_TRUE(SaveProject(project, dir.File("p.mm"), &cut));
    EXPECT_EQ(cut, (std::vector<std::string>{utf8, ansi}));
    Project loaded;
    ASSERT_TRUE(LoadProject(loaded, dir.File("p.mm")));
    EXPECT_EQ(loaded.files,
              (std::vector<std::string>{std::string(125, 'n'), std::string(126, 'n') + "\xE9",
                                        test::Utf8(u8"€uro.bmp")}));
}

TEST(ProjectFile, SaveThatCannotWriteHandsOutNoCutTexts) {
    ScratchDir dir;
    Project project = ReferenceProject();
    project.inputDir = std::string(130, 'x'); // cut, if it were saved
    std::vector<std::string> cut = {"from before"};
    EXPECT_FALSE(SaveProject(project, dir.File("nowhere/p.mm"), &cut));
    EXPECT_EQ(cut, std::vector<std::string>{"from before"});
}

TEST(ProjectFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
    ScratchDir dir;
    EXPECT_FALSE(SaveProject(ReferenceProject(), dir.File("nowhere/p.mm")));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "nowhere"));

    std::filesystem::create_directory(dir.Path() / "taken.mm");
    EXPECT_FALSE(SaveProject(ReferenceProject(), dir.File("taken.mm")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "taken.mm"));

    // An index no list offers would make a file no load accepts: the save is refused, the file
    // already there stays, and no cut text is reported for a project that was not saved.
    ASSERT_TRUE(SaveProject(UntouchedProject(), dir.File("old.mm")));
    const Bytes old = ReadAll(dir.File("old.mm"));
    for (const auto& [from, to] :
         {std::pair{kSourceFormatCount, 0}, {-1, 0}, {0, kTargetFormatCount}, {0, -1}}) {
        SCOPED_TRACE(std::to_string(from) + "/" + std::to_string(to));
        Project project = ReferenceProject();
        project.inputDir = std::string(130, 'x');
        project.convFrom = static_cast<SourceFormat>(from);
        project.convTo = static_cast<TargetFormat>(to);
        std::vector<std::string> cut;
        EXPECT_FALSE(SaveProject(project, dir.File("old.mm"), &cut));
        EXPECT_TRUE(cut.empty());
        EXPECT_TRUE(EncodeProject(project, &cut).empty());
        EXPECT_TRUE(cut.empty());
    }
    EXPECT_EQ(ReadAll(dir.File("old.mm")), old);
    // Only the old file and the directory in the way: no temporary left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

} // namespace
} // namespace texelary
