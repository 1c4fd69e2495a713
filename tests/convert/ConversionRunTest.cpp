#include "convert/ConversionRun.h"

#include "BmpBuilder.h"
#include "FormatFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "archives/ArchiveBytes.h"
#include "colour/WalPalette.h"
#include "convert/EntryPaths.h"
#include "convert/OutputGuard.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/BmpFormat.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <thread>

namespace texelary {
namespace {

using test::ScratchDir;

struct Box {
    std::string text;
    std::string caption;
    BoxButtons buttons;
    BoxIcon icon;
    bool operator==(const Box&) const = default;
};

// Records every box and bar position; answers boxes from a script (OK once the script is used up).
class RecordingFeedback : public RunFeedback {
public:
    BoxAnswer ShowMessage(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, const std::string& detail) override {
        boxes.push_back({text, caption, buttons, icon});
        details.push_back(detail);
        if (whileOpen) {
            whileOpen();
        }
        if (answers.empty()) {
            return BoxAnswer::Ok;
        }
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetProgress(int position) override { bar.push_back(position); }
    bool CancelRequested() override { return cancelBeforeEntry == ++entriesAsked; }
    void EntryStarting(std::size_t index, std::size_t count, const std::string& entry) override {
        started.push_back(std::to_string(index) + "/" + std::to_string(count) + " " + entry);
    }

    std::vector<Box> boxes;
    std::vector<std::string> details; // the reason given with each box
    std::vector<int> bar;
    std::vector<std::string> started; // "index/count entry" as each entry starts
    std::deque<BoxAnswer> answers;
    int cancelBeforeEntry = 0; // 1-based entry before which cancel is requested; 0: never
    int entriesAsked = 0;
    std::function<void()> whileOpen; // runs while each box is open
};

const char kSep = static_cast<char>(std::filesystem::path::preferred_separator);

class ConversionRunTest : public ::testing::Test {
protected:
    ConversionRunTest() {
        std::filesystem::create_directories(dir.Path() / "in");
        std::filesystem::create_directories(dir.Path() / "out");
        settings.RunInputDir = (dir.Path() / "in").string();
        settings.RunOutputDir = (dir.Path() / "out").string();
    }

    std::string In(const std::string& name) const { return (dir.Path() / "in" / name).string(); }
    std::string Out(const std::string& name) const { return (dir.Path() / "out" / name).string(); }

    void AddBmp(const std::string& name, std::int32_t width = 8, std::int32_t height = 4) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height));
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(i * 7);
        }
        test::WriteAll(In(name), test::MakeBmp8(width, height, pixels));
    }

    void Run(std::vector<std::string> names) {
        settings.RunFiles = std::move(names);
        PrepareProgress(state, settings.RunFiles.size());
        RunConversion(settings, state, feedback);
    }

    ScratchDir dir;
    RunSettings settings;
    RunState state;
    RecordingFeedback feedback;
};

TEST_F(ConversionRunTest, ConvertsEveryEntryAndEndsDone) {
    AddBmp("a.bmp");
    AddBmp("b.bmp");
    AddBmp("c.bmp");
    Run({"a.bmp", "b.bmp", "c.bmp"});
    EXPECT_EQ(state.Done, 1);
    EXPECT_EQ(state.Aborted, 0);
    EXPECT_TRUE(feedback.boxes.empty());
    EXPECT_EQ(feedback.bar, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(state.Converted, 3);
    for (const char* name : {"a.m8", "b.m8", "c.m8"}) {
        EXPECT_TRUE(test::ReadM8ImageFile(Out(name))) << name;
    }
    // The last picture stays with the run's owner.
    EXPECT_TRUE(state.Image);
}

TEST_F(ConversionRunTest, EachEntryIsNamedBeforeItIsConverted) {
    AddBmp("a.bmp");
    feedback.cancelBeforeEntry = 3;
    Run({"a.bmp", "missing.bmp", "a.bmp"});
    // Named before its box: the missing file is announced, then reported.
    EXPECT_EQ(feedback.started, (std::vector<std::string>{"0/3 a.bmp", "1/3 missing.bmp"}));
    EXPECT_EQ(feedback.boxes.size(), 1u);
}

TEST_F(ConversionRunTest, EmptyListAbortsAtOnce) {
    Run({});
    EXPECT_EQ(state.Aborted, 1);
    EXPECT_EQ(state.Done, 0);
    EXPECT_TRUE(feedback.boxes.empty());
    EXPECT_TRUE(feedback.bar.empty());
}

TEST_F(ConversionRunTest, BarFollowsTheSinglePrecisionRunningSum) {
    const std::vector<std::pair<int, std::vector<int>>> cases = {
        {1, {100}},
        {3, {33, 66, 100}},
        {6, {16, 33, 50, 66, 83, 100}}, // the sum is 99.99: the last entry shows 100
        {7, {14, 28, 42, 57, 71, 85, 100}},
        {13, {7, 15, 23, 30, 38, 46, 53, 61, 69, 76, 84, 92, 100}},
    };
    for (const auto& [count, expected] : cases) {
        RunState fresh;
        RecordingFeedback quiet;
        settings.RunFiles.assign(static_cast<std::size_t>(count), "x.bmp");
        PrepareProgress(fresh, settings.RunFiles.size());
        RunConversion(settings, fresh, quiet); // every entry is missing: each one still advances
        EXPECT_EQ(quiet.bar, expected) << count << " entries";
        EXPECT_EQ(fresh.Done, 1);
        EXPECT_EQ(fresh.Failed, count);
    }
    RunState fresh;
    RecordingFeedback quiet;
    settings.RunFiles.assign(200, "x.bmp");
    PrepareProgress(fresh, settings.RunFiles.size());
    RunConversion(settings, fresh, quiet);
    ASSERT_EQ(quiet.bar.size(), 200u);
    EXPECT_EQ(std::vector<int>(quiet.bar.begin(), quiet.bar.begin() + 8),
              (std::vector<int>{0, 1, 1, 2, 2, 3, 3, 4}));
    EXPECT_EQ(std::vector<int>(quiet.bar.end() - 3, quiet.bar.end()),
              (std::vector<int>{99, 99, 100}));
}

TEST_F(ConversionRunTest, MissingFileIsReportedAndSkippedOnOk) {
    AddBmp("b.bmp");
    Run({"a.bmp", "b.bmp"});
    ASSERT_EQ(feedback.boxes.size(), 1u);
    EXPECT_EQ(feedback.boxes[0], (Box{"Could'nt find file \"" + In("a.bmp") + "\"", "Texelary",
                                      BoxButtons::OkCancel, BoxIcon::Stop}));
    EXPECT_FALSE(std::filesystem::exists(Out("a.m8")));
    EXPECT_TRUE(std::filesystem::exists(Out("b.m8")));
    EXPECT_EQ(feedback.bar, (std::vector<int>{50, 100}));
    EXPECT_EQ(state.Done, 1);
    EXPECT_EQ(state.Failed, 1);
    EXPECT_EQ(state.Converted, 1);
}

TEST_F(ConversionRunTest, CancelInTheNotFoundBoxAbortsAndLeavesLaterEntries) {
    AddBmp("a.bmp");
    AddBmp("c.bmp");
    feedback.answers = {BoxAnswer::Cancel};
    Run({"a.bmp", "missing.bmp", "c.bmp"});
    EXPECT_EQ(state.Aborted, 1);
    EXPECT_EQ(state.Done, 0);
    EXPECT_EQ(feedback.bar, (std::vector<int>{33})); // keeps the value before the cancelled entry
    EXPECT_TRUE(std::filesystem::exists(Out("a.m8")));
    EXPECT_FALSE(std::filesystem::exists(Out("c.m8")));
}

TEST_F(ConversionRunTest, NonPaletteBitmapGetsThePaletteBoxWithOkOnly) {
    test::WriteAll(In("deep.bmp"), test::MakeBmp24(4, 4));
    AddBmp("next.bmp");
    Run({"deep.bmp", "next.bmp"});
    ASSERT_EQ(feedback.boxes.size(), 1u);
    EXPECT_EQ(feedback.boxes[0], (Box{"File \"" + In("deep.bmp") +
                                          "\" has an invalid color palette. Must be 256 colors",
                                      "Texelary", BoxButtons::Ok, BoxIcon::Stop}));
    EXPECT_FALSE(std::filesystem::exists(Out("deep.m8")));
    EXPECT_TRUE(std::filesystem::exists(Out("next.m8")));
    EXPECT_EQ(feedback.bar, (std::vector<int>{50, 100}));
}

TEST_F(ConversionRunTest, MissingOutputDirectoryGivesTheWriteBox) {
    AddBmp("a.bmp");
    AddBmp("b.bmp");
    settings.RunOutputDir = (dir.Path() / "nowhere").string();
    Run({"a.bmp", "b.bmp"});
    ASSERT_EQ(feedback.boxes.size(), 2u);
    const std::string expected =
        "Error writing \"" + (dir.Path() / "nowhere" / "a.m8").string() + "\"";
    EXPECT_EQ(feedback.boxes[0], (Box{expected, "Texelary", BoxButtons::OkCancel, BoxIcon::Stop}));
    EXPECT_EQ(state.Done, 1);

    RunState again;
    RecordingFeedback cancelling;
    cancelling.answers = {BoxAnswer::Cancel};
    PrepareProgress(again, settings.RunFiles.size());
    RunConversion(settings, again, cancelling);
    EXPECT_EQ(cancelling.boxes.size(), 1u);
    EXPECT_EQ(again.Aborted, 1);
    EXPECT_TRUE(cancelling.bar.empty());
}

TEST_F(ConversionRunTest, NamesAndPathsAreBuiltFromTheEntry) {
    AddBmp("stone.old.bmp");
    AddBmp("plain");
    settings.RunConvTo = TargetFormat::Wal;
    settings.RunInputDir += kSep; // a trailing separator gives the same path
    Run({"stone.old.bmp", "plain"});
    EXPECT_TRUE(feedback.boxes.empty());
    EXPECT_TRUE(std::filesystem::exists(Out("stone.wal")));
    EXPECT_TRUE(std::filesystem::exists(Out("plain.wal")));
    EXPECT_EQ(JoinPath("", "a.bmp"), std::string(1, kSep) + "a.bmp");
    EXPECT_EQ(JoinPath("d", "a.bmp"), JoinPath(std::string("d") + kSep, "a.bmp"));
    EXPECT_EQ(ReplaceExtension("WALL.BMP", "wal"), "WALL.wal");
}

TEST_F(ConversionRunTest, WalInputNeverGivesThePaletteBox) {
    IndexedImage image;
    image.width = 8;
    image.height = 8;
    ASSERT_TRUE(AllocatePixels(image, 8, 8));
    std::fill_n(image.pixels.get(), 64, std::uint8_t{215});
    ASSERT_TRUE(test::WriteWalFile(image, WalPalette, In("w.wal")));
    settings.RunConvFrom = SourceFormat::Wal;
    settings.RunConvTo = TargetFormat::M8;
    Run({"w.wal"});
    EXPECT_TRUE(feedback.boxes.empty());
    Palette palette{};
    ASSERT_TRUE(test::ReadM8PaletteFile(palette, Out("w.m8")));
    EXPECT_EQ(palette, WalPalette);
}

TEST_F(ConversionRunTest, IdenticalNamesAreConvertedTwice) {
    AddBmp("a.bmp");
    Run({"a.bmp", "a.bmp"});
    EXPECT_EQ(state.Converted, 2);
    EXPECT_EQ(feedback.bar, (std::vector<int>{50, 100}));
    EXPECT_TRUE(feedback.boxes.empty());
}

TEST_F(ConversionRunTest, LongPathsAreNeverCut) {
    TEXELARY_SKIP_WITHOUT_LONG_PATHS(dir.Path());
    std::filesystem::path deep = dir.Path() / "in";
    for (int i = 0; i < 6; ++i) {
        deep /= std::string(40, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    const std::string name = std::string(150, 'n') + ".bmp";
    settings.RunInputDir = deep.string();
    settings.RunOutputDir = deep.string();
    test::WriteAll(deep / name, test::MakeBmp8(2, 2, {1, 2, 3, 4}));
    Run({name});
    EXPECT_TRUE(feedback.boxes.empty());
    EXPECT_TRUE(std::filesystem::exists(deep / (std::string(150, 'n') + ".m8")));
}

TEST_F(ConversionRunTest, CancelBetweenEntriesStopsBeforeTheNextOne) {
    AddBmp("a.bmp");
    AddBmp("b.bmp");
    feedback.cancelBeforeEntry = 2;
    Run({"a.bmp", "b.bmp"});
    EXPECT_EQ(state.Aborted, 1);
    EXPECT_EQ(state.Done, 0);
    EXPECT_TRUE(std::filesystem::exists(Out("a.m8")));
    EXPECT_FALSE(std::filesystem::exists(Out("b.m8")));
}

TEST_F(ConversionRunTest, FormatIndicesOutOfRangeNeverRun) {
    AddBmp("a.bmp");
    settings.RunConvFrom = static_cast<SourceFormat>(kSourceFormatCount);
    Run({"a.bmp"});
    EXPECT_EQ(state.Aborted, 1);
    EXPECT_TRUE(feedback.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(Out("a.m8")));
}

// Two frames of an animation, each naming the other as the next one, with flags in the high bits
// that .m8 files use.
const HeaderFields kBelt3{"Mines/belt3", "Mines/belt4", 0x01000020u, 0x00000001u, 25u};
const HeaderFields kBelt4{"Mines/belt4", "Mines/belt3", 0x02000000u, 0x00000008u, 300u};

// Writes a source texture of either kind carrying `fields`.
void WriteSource(SourceFormat format, const std::string& path, const HeaderFields& fields) {
    IndexedImage image = test::MakePicture(8, 4, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(x * 29 + y * 3);
    });
    const WriteOptions options{MipFilter::Point, fields};
    ASSERT_TRUE(format == SourceFormat::M8 ? test::WriteM8File(image, WalPalette, path, options)
                                           : test::WriteWalFile(image, WalPalette, path, options));
}

// What the writers made of a source before header fields could be kept.
std::vector<std::uint8_t> WrittenWithoutOptions(SourceFormat from, TargetFormat to,
                                                const std::string& source,
                                                const std::string& scratch) {
    auto image =
        from == SourceFormat::M8 ? test::ReadM8ImageFile(source) : test::ReadWalImageFile(source);
    Palette palette{};
    EXPECT_TRUE(from == SourceFormat::M8 ? test::ReadM8PaletteFile(palette, source)
                                         : ReadWalPalette(palette));
    EXPECT_TRUE(to == TargetFormat::M8 ? test::WriteM8File(*image, palette, scratch)
                                       : test::WriteWalFile(*image, palette, scratch));
    return test::ReadAll(scratch);
}

TEST_F(ConversionRunTest, KeepHeaderCopiesAllFiveFieldsInEveryDirection) {
    const std::pair<SourceFormat, TargetFormat> directions[] = {
        {SourceFormat::M8, TargetFormat::Wal},
        {SourceFormat::Wal, TargetFormat::M8},
        {SourceFormat::Wal, TargetFormat::Wal},
        {SourceFormat::M8, TargetFormat::M8},
    };
    for (const auto& [from, to] : directions) {
        const std::string in = from == SourceFormat::M8 ? ".m8" : ".wal";
        const std::string out = to == TargetFormat::M8 ? ".m8" : ".wal";
        const std::string what = in + " -> " + out;
        WriteSource(from, In("belt3" + in), kBelt3);
        WriteSource(from, In("belt4" + in), kBelt4);
        settings.RunConvFrom = from;
        settings.RunConvTo = to;

        settings.options.keepHeader = true;
        Run({"belt3" + in, "belt4" + in});
        EXPECT_EQ(state.Converted, 2) << what;
        const auto fieldsOf = [&, target = to](const std::string& name) {
            const auto file = test::ReadAll(Out(name + out));
            return target == TargetFormat::M8 ? ReadM8Fields(file) : ReadWalFields(file);
        };
        EXPECT_EQ(fieldsOf("belt3"), kBelt3) << what;
        EXPECT_EQ(fieldsOf("belt4"), kBelt4) << what;

        settings.options.keepHeader = false;
        Run({"belt3" + in});
        EXPECT_EQ(test::ReadAll(Out("belt3" + out)),
                  WrittenWithoutOptions(from, to, In("belt3" + in), Out("reference")))
            << what;
        state = RunState{};
    }
    EXPECT_TRUE(feedback.boxes.empty());
}

TEST_F(ConversionRunTest, KeepHeaderLeavesBitmapsWithTheWritersHeader) {
    AddBmp("a.bmp");
    settings.options.keepHeader = true;
    Run({"a.bmp"});
    const auto fields = ReadM8Fields(test::ReadAll(Out("a.m8")));
    EXPECT_EQ(fields, (HeaderFields{"Created by Texelary", "", 0, 0, 0}));
}

TEST_F(ConversionRunTest, ANameCutToFitIsReportedAndTheFileWritten) {
    WriteSource(SourceFormat::Wal, In("long.wal"), kBelt3);
    auto file = test::ReadAll(In("long.wal"));
    std::fill_n(file.begin(), 32, std::uint8_t{'n'}); // a 32-byte name without its zero
    test::WriteAll(In("long.wal"), file);
    settings.RunConvFrom = SourceFormat::Wal;
    settings.options.keepHeader = true;
    Run({"long.wal"});
    ASSERT_EQ(feedback.boxes.size(), 1u);
    EXPECT_EQ(feedback.boxes[0], (Box{"Texture name cut to fit in \"" + Out("long.m8") + "\"",
                                      "Texelary", BoxButtons::Ok, BoxIcon::Information}));
    EXPECT_EQ(state.Converted, 1);
    EXPECT_EQ(ReadM8Fields(test::ReadAll(Out("long.m8")))->name, std::string(31, 'n'));
}

TEST_F(ConversionRunTest, AveragedMipsReachTheWriter) {
    AddBmp("a.bmp", 16, 16);
    settings.options.write.mips = MipFilter::Box;
    Run({"a.bmp"});
    Palette palette{};
    ASSERT_TRUE(test::ReadBmpPaletteFile(palette, In("a.bmp")));
    EXPECT_EQ(test::ReadAll(Out("a.m8")), WriteM8(*test::ReadBmpImageFile(In("a.bmp")), palette,
                                                  {MipFilter::Box, std::nullopt}));
}

// A .wal file of 4 x 4 pixels with every header field set, as a game's texture would have.
std::vector<std::uint8_t> GameWal() {
    IndexedImage image = test::MakePicture(4, 4, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(49 + x + y); // 49 to 55 repeat entry 48: remapping shows
    });
    return *WriteWal(image, WalPalette, {MipFilter::Point, kBelt3});
}

TEST_F(ConversionRunTest, OutputThatIsTheInputFileIsAFailedWrite) {
    namespace fs = std::filesystem;
    std::vector<fs::path> outputs = {dir.Path() / "in", dir.Path() / "in" / "."};
    // Symbolic links too, where the system lets this user make them (Windows often does not).
    std::error_code refused;
    fs::create_directory_symlink(dir.Path() / "in", dir.Path() / "linked", refused);
    fs::create_directory(dir.Path() / "links");
    if (!refused) {
        fs::create_symlink(dir.Path() / "in" / "a.wal", dir.Path() / "links" / "a.wal");
        outputs.insert(outputs.end(), {dir.Path() / "linked", dir.Path() / "links"});
    }
    const std::vector<std::uint8_t> original = GameWal();
    for (const fs::path& output : outputs) {
        SCOPED_TRACE(output.string());
        test::WriteAll(In("a.wal"), original);
        settings.RunConvFrom = SourceFormat::Wal;
        settings.RunConvTo = TargetFormat::Wal;
        settings.RunOutputDir = output.string();
        state = RunState{};
        feedback = RecordingFeedback{};
        Run({"a.wal"});
        EXPECT_EQ(test::ReadAll(In("a.wal")), original);
        EXPECT_TRUE(refused || fs::is_symlink(dir.Path() / "links" / "a.wal"));
        ASSERT_EQ(feedback.boxes.size(), 1u);
        EXPECT_EQ(feedback.boxes[0].text,
                  "Error writing \"" + JoinPath(output.string(), "a.wal") + "\"");
        EXPECT_EQ(feedback.boxes[0].buttons, BoxButtons::OkCancel);
        EXPECT_EQ(feedback.details[0], "the output is the input file itself");
        EXPECT_EQ(state.Failed, 1);
        EXPECT_EQ(state.Converted, 0);
    }
}

TEST_F(ConversionRunTest, SecondEntryForOneOutputIsAFailedWrite) {
    AddBmp("stone.old.bmp", 8, 4);
    AddBmp("stone.new.bmp", 4, 2);
    Run({"stone.old.bmp", "stone.new.bmp"});
    const auto written = test::ReadM8ImageFile(Out("stone.m8"));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->width, 8); // the first entry's picture stays
    ASSERT_EQ(feedback.boxes.size(), 1u);
    EXPECT_EQ(feedback.boxes[0].text, "Error writing \"" + Out("stone.m8") + "\"");
    EXPECT_EQ(feedback.details[0], "an earlier file of this run was written there");
    EXPECT_EQ(state.Converted, 1);
    EXPECT_EQ(state.Failed, 1);
    EXPECT_EQ(state.Done, 1);
}

TEST_F(ConversionRunTest, OutputThatIsAnotherEntrysInputIsAFailedWrite) {
    const std::vector<std::uint8_t> original = GameWal();
    test::WriteAll(In("a.wal"), original);
    test::WriteAll(In("a.b.wal"), GameWal());
    settings.RunConvFrom = SourceFormat::Wal;
    settings.RunConvTo = TargetFormat::Wal;
    settings.RunOutputDir = settings.RunInputDir;
    Run({"a.b.wal", "a.wal"});
    EXPECT_EQ(test::ReadAll(In("a.wal")), original);
    EXPECT_EQ(feedback.details, (std::vector<std::string>{"that file is the input of another entry",
                                                          "the output is the input file itself"}));
    EXPECT_EQ(state.Failed, 2);
}

// A hard link to an input is that input, whatever its name.
TEST_F(ConversionRunTest, OutputLinkedToAnInputIsAFailedWrite) {
    namespace fs = std::filesystem;
    AddBmp("a.bmp");
    AddBmp("b.bmp");
    std::error_code refused;
    fs::create_hard_link(In("a.bmp"), Out("b.m8"), refused);
    if (refused) {
        GTEST_SKIP() << "this file system makes no hard links: " << refused.message();
    }
    const std::vector<std::uint8_t> original = test::ReadAll(In("a.bmp"));
    Run({"a.bmp", "b.bmp"});
    EXPECT_EQ(feedback.details,
              std::vector<std::string>{"that file is the input of another entry"});
    EXPECT_EQ(test::ReadAll(In("a.bmp")), original);
    EXPECT_EQ(state.Converted, 1);
}

// Where the file system takes names that differ only in case for one file, the run compares
// them so: an output in another case of its input's name is the input, and two outputs in
// different cases are one file. Only such a file system can show it (the Windows build has one,
// also under wine); elsewhere the folder must be found to tell names in other cases apart.
TEST_F(ConversionRunTest, NamesInAnotherCaseAreOneFileWhereTheFileSystemSaysSo) {
    test::WriteAll(dir.Path() / "in" / "CaseProbe", {1});
    const bool ignoresCase = std::filesystem::exists(dir.Path() / "in" / "caseprobe");
    std::filesystem::remove(dir.Path() / "in" / "CaseProbe");
    EXPECT_EQ(NamesIgnoreCase(dir.Path() / "in"), ignoresCase);
    if (!ignoresCase) {
        GTEST_SKIP() << "this file system tells names in other cases apart";
    }
    AddBmp("Wall.bmp", 8, 4);
    AddBmp("wall.old.bmp", 4, 2);
    Run({"Wall.bmp", "wall.old.bmp"});
    EXPECT_EQ(feedback.details,
              std::vector<std::string>{"an earlier file of this run was written there"});
    EXPECT_EQ(test::ReadM8ImageFile(Out("Wall.m8"))->width, 8);

    const std::vector<std::uint8_t> original = GameWal();
    test::WriteAll(In("STONE.WAL"), original);
    settings.RunConvFrom = SourceFormat::Wal;
    settings.RunConvTo = TargetFormat::Wal;
    settings.RunOutputDir = settings.RunInputDir;
    feedback = RecordingFeedback{};
    Run({"STONE.WAL"});
    EXPECT_EQ(feedback.details, std::vector<std::string>{"the output is the input file itself"});
    EXPECT_EQ(test::ReadAll(In("STONE.WAL")), original);
}

struct FailedRead {
    const char* name;
    SourceFormat from;
    std::optional<std::vector<std::uint8_t>> bytes; // none: no such file
    const char* box;                                // the text before the quoted path
    const char* detail;
};

std::vector<std::uint8_t> WithByte(std::size_t size, std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[at] = value;
    return bytes;
}

TEST_F(ConversionRunTest, FailedReadsSayWhyAndWriteNothing) {
    std::vector<std::uint8_t> cut = test::MakeBmp8(8, 8, std::vector<std::uint8_t>(64, 3));
    cut.resize(cut.size() - 20);
    const char* notFound = "Could'nt find file ";
    const std::vector<FailedRead> cases = {
        {"missing.bmp", SourceFormat::Bmp, std::nullopt, notFound, "no such file"},
        {"empty.bmp", SourceFormat::Bmp, std::vector<std::uint8_t>{}, notFound,
         "the file is empty"},
        {"empty.m8", SourceFormat::M8, std::vector<std::uint8_t>{}, notFound, "the file is empty"},
        {"empty.wal", SourceFormat::Wal, std::vector<std::uint8_t>{}, notFound,
         "the file is empty"},
        {"flat.m8", SourceFormat::M8, WithByte(1040, 100, 5), notFound,
         "the picture has no pixels"},
        {"thin.wal", SourceFormat::Wal, WithByte(100, 32, 5), notFound,
         "the picture has no pixels"},
        {"cut.bmp", SourceFormat::Bmp, cut, notFound, "the file ends before its picture data"},
        {"deep.bmp", SourceFormat::Bmp, test::MakeBmp24(2, 2), "File ",
         "not a 256-colour picture (8 bits per pixel)"},
    };
    for (const FailedRead& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes) {
            test::WriteAll(In(c.name), *c.bytes);
        }
        settings.RunConvFrom = c.from;
        state = RunState{};
        feedback = RecordingFeedback{};
        Run({c.name});
        ASSERT_EQ(feedback.boxes.size(), 1u);
        const std::string quoted = '"' + In(c.name) + '"';
        EXPECT_EQ(feedback.boxes[0].text.rfind(c.box + quoted, 0), 0u) << feedback.boxes[0].text;
        EXPECT_EQ(feedback.details[0], c.detail);
        EXPECT_EQ(state.Failed, 1);
        EXPECT_EQ(state.Converted, 0);
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "out"));
    }
}

// An entry of a pak that cannot be read fails as one reason, with what is wrong with the pak.
TEST_F(ConversionRunTest, AnEntryOfADamagedPakSaysWhatIsWrongWithThePak) {
    const std::vector<std::uint8_t> whole = test::ArchiveBytes("PACK", {{"a.wal", 12, 8}});
    const std::vector<std::uint8_t> cut(whole.begin(), whole.end() - 10);
    // Each pak of its own name: the directory of the last one read is kept while its file's size
    // and time of change stay the same.
    const struct {
        const char* pak;
        std::vector<std::uint8_t> bytes;
        const char* detail;
    } cases[] = {
        {"cut.pak", cut, "the directory runs past the end of the file"},
        {"long.pak", test::With32(whole, 20 + 60, 73), "an entry runs past the end of the file"},
        {"parent.pak", test::ArchiveBytes("PACK", {{"../a.wal", 12, 8}}),
         "an entry's name has a \"..\" part"},
        {"spak.pak", test::ArchiveBytes("SPAK", {{"a.wal", 12, 8}}),
         "a SPAK archive (128-byte directory entries), a variant that is not supported"},
    };
    settings.RunConvFrom = SourceFormat::Wal;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pak);
        test::WriteAll(In(c.pak), c.bytes);
        state = RunState{};
        feedback = RecordingFeedback{};
        Run({std::string(c.pak) + "/a.wal"});
        ASSERT_EQ(feedback.boxes.size(), 1u);
        // The entry's own name keeps the '/' it was given with, on every system.
        EXPECT_EQ(feedback.boxes[0].text, "Could'nt find file \"" + In(c.pak) + "/a.wal\"");
        EXPECT_EQ(feedback.details[0],
                  std::string("the pak, wad or map that holds it cannot be read: ") + c.detail);
        EXPECT_EQ(state.Failed, 1);
    }
}

// Everything a run shows and leaves: each name in the output directory with its bytes (none
// for a directory), every box with its reason, the bar and the outcome.
struct RunRecord {
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::vector<Box> boxes;
    std::vector<std::string> details;
    std::vector<int> bar;
    std::int32_t done = 0, aborted = 0, converted = 0, failed = 0;
    bool operator==(const RunRecord&) const = default;
};

struct JobsCase {
    const char* what;
    TargetFormat to;
    MipFilter mips;
    std::deque<BoxAnswer> answers;
    int cancelBeforeEntry;
    int stopAtBox; // 1-based box at which `stop` is set from inside the box; 0: never
};

class JobsTest : public ConversionRunTest {
protected:
    // A batch with every kind of failure, the slowest file first so that later ones finish
    // before it: a missing file, a bitmap without a palette, an output name taken by a directory,
    // and a second entry for an output an earlier one wrote.
    JobsTest() {
        AddBmp("big.bmp", 512, 256);
        for (const char* name : {"a.bmp", "blocked.bmp", "stone.old.bmp", "stone.new.bmp", "c.bmp",
                                 "d.bmp", "e.bmp"}) {
            AddBmp(name, 16, 8);
        }
        test::WriteAll(In("deep.bmp"), test::MakeBmp24(4, 4));
    }

    const std::vector<std::string> m_names = {
        "big.bmp", "a.bmp",         "missing.bmp",   "deep.bmp", "blocked.bmp",
        "c.bmp",   "stone.old.bmp", "stone.new.bmp", "d.bmp",    "e.bmp"};

    RunRecord RunWith(const JobsCase& c, unsigned jobs) { return RunWith(c, jobs, m_names); }
    RunRecord RunWith(const JobsCase& c, unsigned jobs, const std::vector<std::string>& names) {
        namespace fs = std::filesystem;
        fs::remove_all(dir.Path() / "out");
        fs::create_directories(dir.Path() / "out" /
                               (c.to == TargetFormat::M8 ? "blocked.m8" : "blocked.wal"));
        std::atomic<bool> stop{false};
        settings.RunConvTo = c.to;
        settings.options.write.mips = c.mips;
        settings.jobs = jobs;
        settings.stop = &stop;
        state = RunState{};
        feedback = RecordingFeedback{};
        feedback.answers = c.answers;
        feedback.cancelBeforeEntry = c.cancelBeforeEntry;
        feedback.whileOpen = [&] {
            if (static_cast<int>(feedback.boxes.size()) == c.stopAtBox) {
                stop.store(true);
            }
        };
        Run(names);
        RunRecord record{{},         feedback.boxes, feedback.details, feedback.bar,
                         state.Done, state.Aborted,  state.Converted,  state.Failed};
        for (const auto& file : fs::directory_iterator(dir.Path() / "out")) {
            record.files[file.path().filename().string()] =
                file.is_regular_file() ? test::ReadAll(file.path()) : std::vector<std::uint8_t>{};
        }
        settings.stop = nullptr;
        return record;
    }
};

TEST_F(JobsTest, ManyJobsShowAndLeaveWhatOneJobDoes) {
    const BoxAnswer ok = BoxAnswer::Ok, cancel = BoxAnswer::Cancel;
    const TargetFormat m8 = TargetFormat::M8, wal = TargetFormat::Wal;
    const std::vector<JobsCase> cases = {
        {"every failure answered OK", m8, MipFilter::Point, {}, 0, 0},
        {"to .wal with averaged levels", wal, MipFilter::Box, {}, 0, 0},
        {"Cancel in the not-found box", m8, MipFilter::Point, {cancel}, 0, 0},
        {"Cancel in a write box", m8, MipFilter::Point, {ok, ok, cancel}, 0, 0},
        {"Cancel in the second write box", wal, MipFilter::Point, {ok, ok, ok, cancel}, 0, 0},
        {"Cancel between entries", m8, MipFilter::Point, {}, 6, 0},
        {"stopped from another thread", m8, MipFilter::Point, {}, 0, 2},
    };
    for (const JobsCase& c : cases) {
        SCOPED_TRACE(c.what);
        const RunRecord one = RunWith(c, 1);
        EXPECT_GE(one.boxes.size(), 1u);
        EXPECT_TRUE(one.files.count(c.to == TargetFormat::M8 ? "a.m8" : "a.wal"));
        for (const auto& [name, bytes] : one.files) {
            EXPECT_NE(name.rfind(".tx", 0), 0u) << "a temporary file is left: " << name;
        }
        for (const unsigned jobs : {2u, 3u, 16u}) {
            EXPECT_EQ(RunWith(c, jobs), one) << jobs << " jobs";
        }
    }
}

TEST_F(JobsTest, TrueColourComesDownTheSameWithManyJobs) {
    if (!TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built without libspng";
    }
    std::vector<std::string> names;
    for (const char* file : {"imagemagick-rgb16.png", "pillow-rgba.png", "imagemagick.png"}) {
        for (const char* copy : {"a", "b"}) {
            names.push_back(std::string(copy) + file);
            std::filesystem::copy_file(test::DataPath(std::string("made/") + file),
                                       In(names.back()));
        }
    }
    names.insert(names.begin() + 2, "missing.png");
    settings.RunConvFrom = SourceFormat::Png;
    for (const TargetFormat to : {TargetFormat::M8, TargetFormat::Wal, TargetFormat::Png}) {
        const JobsCase c{"true colour", to, MipFilter::Point, {}, 0, 0};
        const RunRecord one = RunWith(c, 1, names);
        EXPECT_EQ(one.converted, 6);
        EXPECT_EQ(RunWith(c, 3, names), one) << static_cast<int>(to);
    }
}

// Temporary files in the output directory: outputs converted and not yet put in place.
std::size_t TemporariesIn(const std::filesystem::path& directory) {
    std::size_t count = 0;
    for (const auto& file : std::filesystem::directory_iterator(directory)) {
        if (file.path().filename().string().rfind(".tx", 0) == 0) {
            ++count;
        }
    }
    return count;
}

TEST_F(JobsTest, LaterFilesWaitInTemporaryFilesAsFarAheadAsAllowed) {
    constexpr unsigned kJobs = 3;
    constexpr std::size_t kAhead = kJobs * kEntriesAheadPerJob - 1; // besides the one in hand
    std::vector<std::string> names = {"missing.bmp"};
    for (std::size_t i = 0; i < kAhead + 6; ++i) {
        names.push_back('f' + std::to_string(i) + ".bmp");
        AddBmp(names.back());
    }
    settings.jobs = kJobs;
    std::size_t whileOpen = 0;
    std::size_t afterAWhile = 0;
    feedback.whileOpen = [&] {
        // The box of the first entry holds the run; the entries after it are converted meanwhile,
        // as far as allowed and no further.
        for (int wait = 0; wait < 1000 && whileOpen < kAhead; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            whileOpen = TemporariesIn(dir.Path() / "out");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        afterAWhile = TemporariesIn(dir.Path() / "out");
        EXPECT_FALSE(std::filesystem::exists(Out("f0.m8")));
    };
    feedback.answers = {BoxAnswer::Cancel};
    Run(names);
    EXPECT_EQ(whileOpen, kAhead);
    EXPECT_EQ(afterAWhile, kAhead);
    EXPECT_EQ(state.Aborted, 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "out"));
}

} // namespace
} // namespace texelary
