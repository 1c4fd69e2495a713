#include "convert/ConversionRun.h"

#include "BmpBuilder.h"
#include "TestFiles.h"
#include "texture/M8Format.h"
#include "texture/WalFormat.h"
#include "texture/WalPalette.h"

#include <deque>
#include <gtest/gtest.h>

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
                          BoxIcon icon) override {
        boxes.push_back({text, caption, buttons, icon});
        if (answers.empty()) {
            return BoxAnswer::Ok;
        }
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetProgress(int position) override { bar.push_back(position); }
    bool CancelRequested() override { return cancelBeforeEntry == ++entriesAsked; }

    std::vector<Box> boxes;
    std::vector<int> bar;
    std::deque<BoxAnswer> answers;
    int cancelBeforeEntry = 0; // 1-based entry before which cancel is requested; 0: never
    int entriesAsked = 0;
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
        list = std::make_unique<VectorFileList>(std::move(names));
        settings.RunFiles = list.get();
        PrepareProgress(state, list->Count());
        RunConversion(settings, state, feedback);
    }

    ScratchDir dir;
    RunSettings settings;
    RunState state;
    RecordingFeedback feedback;
    std::unique_ptr<VectorFileList> list;
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
        EXPECT_TRUE(ReadM8Image(Out(name))) << name;
    }
    // The last picture stays with the run's owner.
    EXPECT_TRUE(state.Image);
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
        {6, {16, 33, 50, 66, 83, 99}},
        {7, {14, 28, 42, 57, 71, 85, 100}},
        {13, {7, 15, 23, 30, 38, 46, 53, 61, 69, 76, 84, 92, 99}},
    };
    for (const auto& [count, expected] : cases) {
        RunState fresh;
        RecordingFeedback quiet;
        VectorFileList names(std::vector<std::string>(static_cast<std::size_t>(count), "x.bmp"));
        settings.RunFiles = &names;
        PrepareProgress(fresh, names.Count());
        RunConversion(settings, fresh, quiet); // every entry is missing: each one still advances
        EXPECT_EQ(quiet.bar, expected) << count << " entries";
        EXPECT_EQ(fresh.Done, 1);
        EXPECT_EQ(fresh.Failed, count);
    }
    RunState fresh;
    RecordingFeedback quiet;
    VectorFileList names(std::vector<std::string>(200, "x.bmp"));
    settings.RunFiles = &names;
    PrepareProgress(fresh, names.Count());
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
    PrepareProgress(again, list->Count());
    RunConversion(settings, again, cancelling);
    EXPECT_EQ(cancelling.boxes.size(), 1u);
    EXPECT_EQ(again.Aborted, 1);
    EXPECT_TRUE(cancelling.bar.empty());
}

TEST_F(ConversionRunTest, NamesAndPathsAreBuiltFromTheEntry) {
    AddBmp("stone.old.bmp");
    AddBmp("plain");
    settings.RunConvTo = 1;
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
    ASSERT_TRUE(WriteWal(image, WalPalette, In("w.wal")));
    settings.RunConvFrom = 2;
    settings.RunConvTo = 0;
    Run({"w.wal"});
    EXPECT_TRUE(feedback.boxes.empty());
    Palette palette{};
    ASSERT_TRUE(ReadM8Palette(palette, Out("w.m8")));
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
    settings.RunConvFrom = 3;
    Run({"a.bmp"});
    EXPECT_EQ(state.Aborted, 1);
    EXPECT_TRUE(feedback.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(Out("a.m8")));
}

TEST(CopyBounded, CutsAtTheFieldAndAlwaysEndsWithZero) {
    char field[8];
    std::fill_n(field, 8, 'x');
    CopyBounded(field, "abc", sizeof field);
    EXPECT_STREQ(field, "abc");
    CopyBounded(field, "abcdefghij", sizeof field);
    EXPECT_STREQ(field, "abcdefg");
    EXPECT_EQ(field[7], '\0');
}

} // namespace
} // namespace texelary
