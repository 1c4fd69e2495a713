// Runs between the family's formats: the real files go through a picture and back unchanged,
// fields and all; their shared fields travel to the other formats; a pak can be written with the
// later game's 72-byte entries.

#include "RecordingFeedback.h"
#include "TestFiles.h"
#include "base/ByteOrder.h"
#include "convert/ConversionRun.h"
#include "formats/Formats.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/SwlFormat.h"
#include "formats/pictures/PngFormat.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class FamilyRun : public ::testing::Test {
protected:
    // Converts `names` of `in` into `out` as --keep-header --sidecar would; true when every file
    // converted without a box.
    bool Run(const fs::path& in, const fs::path& out, std::vector<std::string> names,
             SourceFormat from, TargetFormat to, bool longPakEntries = false,
             bool allLevels = false) {
        RunSettings settings;
        settings.RunFiles = std::move(names);
        settings.RunInputDir = in.string();
        settings.RunOutputDir = out.string();
        settings.RunConvFrom = from;
        settings.RunConvTo = to;
        settings.options.keepHeader = true;
        settings.options.sidecar = true;
        settings.longPakEntries = longPakEntries;
        settings.options.allLevels = allLevels;
        RunState state;
        PrepareProgress(state, settings.RunFiles.size());
        test::RecordingFeedback boxes;
        RunConversion(settings, state, boxes);
        EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front();
        return boxes.shown.empty() && state.Failed == 0;
    }

    fs::path Folder(const char* name) const {
        fs::create_directories(dir.Path() / name);
        return dir.Path() / name;
    }

    test::ScratchDir dir;
};

struct RoundTrip {
    const char* file; // of tests/data/family
    SourceFormat from;
    TargetFormat back;
};

TEST_F(FamilyRun, RealFilesComeBackFromPngByteForByte) {
    if (!TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built without libspng";
    }
    const RoundTrip trips[] = {
        {"test.m32", SourceFormat::M32, TargetFormat::M32},
        {"testBinaryAlpha.m32", SourceFormat::M32, TargetFormat::M32},
        {"__tb_empty.m32", SourceFormat::M32, TargetFormat::M32},
        {"swl_water32.swl", SourceFormat::Swl, TargetFormat::Swl},
        {"swl_thin.swl", SourceFormat::Swl, TargetFormat::Swl},
        {"dk_opaque.wal", SourceFormat::Wal, TargetFormat::Wal3},
    };
    const fs::path pictures = Folder("png");
    const fs::path back = Folder("back");
    for (const RoundTrip& trip : trips) {
        SCOPED_TRACE(trip.file);
        const std::string png = fs::path(trip.file).replace_extension("png").string();
        ASSERT_TRUE(
            Run(test::DataPath("family"), pictures, {trip.file}, trip.from, TargetFormat::Png));
        ASSERT_TRUE(Run(pictures, back, {png}, SourceFormat::Png, trip.back));
        EXPECT_EQ(test::ReadAll(back / trip.file),
                  test::ReadAll(test::DataPath("family") / trip.file));
    }
    // The true-colour textures went through PNG as true colour, see-through pixels' colours and
    // all.
    const auto picture = ParsePngPicture(test::ReadAll(pictures / "testBinaryAlpha.png"));
    ASSERT_TRUE(picture && picture->trueColour);
}

// Each target takes the five shared fields and the picture; the fields of a format's own stay
// out of the others.
TEST_F(FamilyRun, SharedFieldsTravelBetweenTheFormats) {
    const fs::path out = Folder("out");
    ASSERT_TRUE(
        Run(test::DataPath("family"), out, {"test.m32"}, SourceFormat::M32, TargetFormat::Swl));
    ReadError error = ReadError::None;
    const auto swl = DecodeSwl(test::ReadAll(out / "test.swl"), &error, LevelsWanted::First);
    ASSERT_TRUE(swl && swl->fields) << DescribeReadError(error);
    EXPECT_EQ(swl->fields->name, "test");
    EXPECT_EQ(swl->fields->animationName, "test_anim");
    EXPECT_EQ(swl->fields->flags, 2048u);
    EXPECT_FALSE(swl->fields->m32);

    ASSERT_TRUE(Run(out, out, {"test.swl"}, SourceFormat::Swl, TargetFormat::M32));
    const auto m32 = DecodeM32(test::ReadAll(out / "test.m32"), &error, LevelsWanted::First);
    ASSERT_TRUE(m32 && m32->fields && m32->trueColour) << DescribeReadError(error);
    EXPECT_EQ(m32->fields->name, "test");
    EXPECT_EQ(m32->fields->m32, M32Fields{}); // a new .m32's, not the first file's
    // Every pixel is its .swl palette entry's colour, opaque.
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t index = swl->indexed->pixels[i];
        const Bytes expected{swl->palette[3 * index], swl->palette[3 * index + 1],
                             swl->palette[3 * index + 2], 255};
        EXPECT_EQ(Bytes(m32->trueColour->pixels.begin() + 4 * static_cast<std::ptrdiff_t>(i),
                        m32->trueColour->pixels.begin() + 4 * static_cast<std::ptrdiff_t>(i + 1)),
                  expected);
    }
}

// Every level of an .m32 as a true-colour PNG of its own, exactly.
TEST_F(FamilyRun, EveryLevelOfATrueColourTextureBecomesAPng) {
    if (!TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built without libspng";
    }
    const fs::path out = Folder("out");
    ASSERT_TRUE(Run(test::DataPath("family"), out, {"__tb_empty.m32"}, SourceFormat::M32,
                    TargetFormat::Png, false, true));
    const auto levels = DecodeM32Levels(test::ReadAll(test::DataPath("family/__tb_empty.m32")));
    ASSERT_TRUE(levels && levels->size() == 6);
    for (std::size_t i = 0; i < levels->size(); ++i) {
        const auto png =
            ParsePngPicture(test::ReadAll(out / ("__tb_empty." + std::to_string(i) + ".png")));
        ASSERT_TRUE(png && png->trueColour) << i;
        EXPECT_EQ(png->trueColour->pixels, (*levels)[i].pixels) << i;
    }
}

TEST_F(FamilyRun, PakWithLongEntriesIsWrittenOnRequestAndReadBack) {
    const fs::path out = Folder("out");
    for (const bool longEntries : {false, true}) {
        SCOPED_TRACE(longEntries);
        const fs::path pak = out / (longEntries ? "long.pak" : "classic.pak");
        ASSERT_TRUE(Run(test::DataPath("family"), pak, {"test.m32", "__tb_empty.m32"},
                        SourceFormat::M32, TargetFormat::Wal3, longEntries));
        const Bytes bytes = test::ReadAll(pak);
        ASSERT_GE(bytes.size(), 12u);
        EXPECT_EQ(LoadLE32(bytes.data() + 8), (longEntries ? 72u : 64u) * 2);
        // Its entries read back as the files a run into a folder writes.
        const fs::path files = Folder(longEntries ? "long" : "classic");
        ASSERT_TRUE(Run(pak, files, {"test.wal"}, SourceFormat::Wal, TargetFormat::Wal3));
        ASSERT_TRUE(Run(test::DataPath("family"), out, {"test.m32"}, SourceFormat::M32,
                        TargetFormat::Wal3));
        EXPECT_EQ(test::ReadAll(files / "test.wal"), test::ReadAll(out / "test.wal"));
    }
}

} // namespace
} // namespace texelary
