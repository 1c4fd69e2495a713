// Awkward files on every platform: inputs that vanish or are directories, names outside the ANSI
// code page, names that are not UTF-8, and a disk that fills up part way (a fault made on purpose
// in the file writer). Nothing may be lost, and no failed write may be reported as success.

#include "BmpBuilder.h"
#include "FormatFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "base/FileIo.h"
#include "colour/WalPalette.h"
#include "convert/ConversionRun.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/BmpFormat.h"
#include "project/ProjectFile.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace texelary {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::ScratchDir;
using test::Utf8;

// Answers every box with OK and remembers the texts.
class Answering : public RunFeedback {
public:
    BoxAnswer ShowMessage(const std::string& text, const std::string&, BoxButtons, BoxIcon,
                          const std::string& detail) override {
        texts.push_back(text);
        details.push_back(detail);
        return BoxAnswer::Ok;
    }
    void SetProgress(int) override {}
    std::vector<std::string> texts;
    std::vector<std::string> details;
};

// Runs `names` from `directory` into the same directory; the boxes' texts land in `feedback`.
RunState RunIn(const std::string& directory, std::vector<std::string> names, Answering& feedback,
               TargetFormat to = TargetFormat::M8) {
    RunSettings settings;
    settings.RunFiles = std::move(names);
    settings.RunInputDir = directory;
    settings.RunOutputDir = directory;
    settings.RunConvTo = to;
    RunState state;
    PrepareProgress(state, settings.RunFiles.size());
    RunConversion(settings, state, feedback);
    return state;
}

std::size_t FilesIn(const fs::path& directory) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), {}));
}

const std::vector<std::uint8_t> kBitmap = test::MakeBmp8(4, 2, {1, 2, 3, 4, 5, 6, 7, 8});

TEST(AwkwardFiles, RunSkipsVanishedInputsDirectoriesAndBlockedOutputs) {
    ScratchDir dir;
    const std::vector<std::uint8_t> bitmap = test::MakeBmp8(4, 4, std::vector<std::uint8_t>(16, 9));
    fs::create_directory(dir.Path() / "folder.bmp");
    test::WriteAll(dir.File("blocked.bmp"), bitmap);
    fs::create_directory(dir.Path() / "blocked.m8");
    test::WriteAll(dir.File("fine.bmp"), bitmap);

    // gone.bmp is listed but no longer there.
    Answering feedback;
    const RunState state = RunIn(Utf8Path(dir.Path()),
                                 {"gone.bmp", "folder.bmp", "blocked.bmp", "fine.bmp"}, feedback);

    ASSERT_EQ(feedback.texts.size(), 3u);
    EXPECT_EQ(feedback.texts[0], "Could'nt find file \"" + dir.File("gone.bmp") + "\"");
    EXPECT_EQ(feedback.texts[1], "Could'nt find file \"" + dir.File("folder.bmp") + "\"");
    EXPECT_EQ(feedback.texts[2], "Error writing \"" + dir.File("blocked.m8") + "\"");
    EXPECT_TRUE(fs::is_directory(dir.Path() / "blocked.m8"));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder.bmp"));
    EXPECT_TRUE(test::ReadM8ImageFile(dir.File("fine.m8")));
    EXPECT_EQ(state.Done, 1);
    EXPECT_EQ(state.Converted, 1);
}

// The files are made and checked under their names as UTF-16 or bytes (fs::path of a u8 text),
// so that a library reading the names in the ANSI code page would find none of them.
TEST(AwkwardFiles, NamesOutsideTheCodePageAreReadConvertedAndWritten) {
    ScratchDir dir;
    const fs::path folder = dir.Path() / fs::path(u8"my textures") / fs::path(u8"über 壁");
    fs::create_directories(folder);
    const std::string folderName = Utf8Path(folder);
    const std::vector<std::u8string> names = {u8"€uro", u8"壁", u8"café wall"};
    std::vector<std::string> entries;
    for (const std::u8string& name : names) {
        test::WriteAll(folder / fs::path(name + u8".bmp"), kBitmap);
        entries.push_back(Utf8(name) + ".bmp");
    }

    // Through the readers and writers.
    for (const std::u8string& name : names) {
        const std::string base = folderName + "/" + Utf8(name);
        const auto image = test::ReadBmpImageFile(base + ".bmp");
        Palette palette{};
        ASSERT_TRUE(image && test::ReadBmpPaletteFile(palette, base + ".bmp")) << Utf8(name);
        ASSERT_TRUE(test::WriteM8File(*image, palette, base + ".m8")) << Utf8(name);
        ASSERT_TRUE(fs::exists(folder / fs::path(name + u8".m8"))) << Utf8(name);
        const auto back = test::ReadM8ImageFile(base + ".m8");
        ASSERT_TRUE(back);
        EXPECT_EQ(test::PixelsOf(*back), test::PixelsOf(*image));
    }

    // Through the run.
    Answering feedback;
    const RunState state = RunIn(folderName, entries, feedback, TargetFormat::Wal);
    EXPECT_TRUE(feedback.texts.empty()) << feedback.texts.front();
    EXPECT_EQ(state.Converted, 3);
    for (const std::u8string& name : names) {
        EXPECT_TRUE(test::ReadWalImageFile(Utf8Path(folder / fs::path(name + u8".wal"))))
            << Utf8(name);
    }

    // Through a project file named so itself.
    Project project;
    project.inputDir = Utf8(u8"my textures/über 壁"); // the whole path may not fit a field
    project.files = entries;
    const std::string projectName = Utf8Path(folder / fs::path(u8"proj ét 壁.mm"));
    ASSERT_TRUE(SaveProject(project, projectName));
    Project loaded;
    ASSERT_TRUE(LoadProject(loaded, projectName));
    EXPECT_EQ(loaded, project);
}

// A name in a project file that is not UTF-8 ("café" as 63 61 66 E9) is taken in the system's
// 8-bit code page, and must still name its file, through the narrow C library.
TEST(AwkwardFiles, NameThatIsNotUtf8StillNamesItsFile) {
    ScratchDir dir;
    const std::string folder = Utf8Path(dir.Path());
    const std::string legacy = "caf\xE9";
    std::FILE* file = std::fopen((folder + "/" + legacy + ".bmp").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(kBitmap.data(), 1, kBitmap.size(), file), kBitmap.size());
    std::fclose(file);

    Answering feedback;
    EXPECT_EQ(RunIn(folder, {legacy + ".bmp"}, feedback).Converted, 1);
    EXPECT_TRUE(feedback.texts.empty());
    std::FILE* written = std::fopen((folder + "/" + legacy + ".m8").c_str(), "rb");
    EXPECT_NE(written, nullptr);
    if (written != nullptr) {
        std::fclose(written);
    }
    EXPECT_EQ(FilesIn(dir.Path()), 2u);
}

// A full disk, made on purpose in the file writer, at the write or at the flush: every writer
// reports it, the old file stays byte for byte, and nothing else is left behind.
TEST(AwkwardFiles, FullDiskKeepsTheOldFileInEveryWriter) {
    IndexedImage image = test::MakePicture(
        64, 64, [](std::int32_t x, std::int32_t y) { return static_cast<std::uint8_t>(x ^ y); });
    Project project;
    project.files.assign(40, "wall.bmp");
    const std::vector<std::pair<const char*, std::function<bool(const std::string&)>>> writers = {
        {"m8", [&](const std::string& path) { return test::WriteM8File(image, Palette{}, path); }},
        {"wal",
         [&](const std::string& path) { return test::WriteWalFile(image, WalPalette, path); }},
        {"project", [&](const std::string& path) { return SaveProject(project, path); }},
    };
    const std::vector<std::uint8_t> old(100, 0x5A);
    for (const auto& [what, write] : writers) {
        for (const WriteStep fault : {WriteStep::Write, WriteStep::Flush}) {
            ScratchDir dir;
            test::WriteAll(dir.File("old.out"), old);
            {
                const test::DiskFullAt full(fault, 1);
                EXPECT_FALSE(write(dir.File("old.out"))) << what;
            }
            EXPECT_EQ(ReadAll(dir.File("old.out")), old) << what;
            EXPECT_EQ(FilesIn(dir.Path()), 1u) << what;
            // The same write succeeds on a disk with room, so it was the fault that failed it.
            EXPECT_TRUE(write(dir.File("old.out"))) << what;
        }
    }
}

TEST(AwkwardFiles, FullDiskDuringARunGivesTheWriteBoxAndKeepsTheOldOutput) {
    ScratchDir dir;
    test::WriteAll(dir.File("wall.bmp"), kBitmap);
    test::WriteAll(dir.File("wall.m8"), {1, 2, 3});
    Answering feedback;
    RunState state;
    {
        const test::DiskFullAt full(WriteStep::Write, 1);
        state = RunIn(Utf8Path(dir.Path()), {"wall.bmp"}, feedback);
    }
    ASSERT_EQ(feedback.texts.size(), 1u);
    EXPECT_EQ(feedback.texts[0], "Error writing \"" + dir.File("wall.m8") + "\"");
    EXPECT_EQ(feedback.details[0], "the disk is full");
    EXPECT_EQ(state.Failed, 1);
    EXPECT_EQ(ReadAll(dir.File("wall.m8")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(FilesIn(dir.Path()), 2u);
}

} // namespace
} // namespace texelary
