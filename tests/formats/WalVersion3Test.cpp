// Version-3 .wal files, which keep their palette in the file: the game's own file reads exactly,
// damaged headers are refused with their reason, --info reads it, and the run takes it to PNG
// with its indices and palette.

#include "MipBytes.h"
#include "RecordingFeedback.h"
#include "TestFiles.h"
#include "colour/WalPalette.h"
#include "convert/ConversionRun.h"
#include "formats/Formats.h"
#include "formats/TextureInfo.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/PngFormat.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The version written as a 32-bit 3 leaves the name at 1 empty.
constexpr test::MipHeaderShape kWal3Shape{892, 36, 40, 3};
constexpr std::size_t kPaletteAt = 120;

Bytes RealFile() {
    return test::ReadAll(test::DataPath("family/dk_opaque.wal"));
}

std::string TextAt(const Bytes& bytes, std::size_t offset) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset));
}

TEST(WalVersion3, ReadsTheGamesFileExactly) {
    const Bytes bytes = RealFile();
    ASSERT_EQ(bytes.size(), 897u) << "missing or changed test data family/dk_opaque.wal";
    ASSERT_EQ(bytes[0], 3);
    ReadError error = ReadError::BadSignature;
    const auto texture = DecodeWal(bytes, &error, LevelsWanted::All);
    ASSERT_TRUE(texture) << DescribeReadError(error);
    EXPECT_EQ(error, ReadError::None);
    ASSERT_TRUE(texture->IsIndexed());
    EXPECT_EQ(texture->indexed->width, test::Le32(bytes, 36));
    EXPECT_EQ(texture->indexed->height, test::Le32(bytes, 40));
    const auto level0 = static_cast<std::size_t>(test::Le32(bytes, 44));
    EXPECT_EQ(test::PixelsOf(*texture->indexed),
              Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(level0),
                    bytes.begin() + static_cast<std::ptrdiff_t>(level0 + 4)));
    ASSERT_EQ(texture->levels.size(), 1u); // 1 x 1, then a level without pixels
    EXPECT_EQ(texture->levels[0]->pixels[0],
              bytes.at(static_cast<std::size_t>(test::Le32(bytes, 48))));
    EXPECT_TRUE(
        std::equal(texture->palette.begin(), texture->palette.end(), bytes.begin() + kPaletteAt));
    EXPECT_EQ(texture->paletteAlpha[255], 0);
    EXPECT_EQ(texture->paletteAlpha[0], 255);

    ASSERT_TRUE(texture->fields);
    EXPECT_EQ(texture->fields->name, TextAt(bytes, 1));
    EXPECT_EQ(texture->fields->name, "test");
    EXPECT_EQ(texture->fields->animationName, TextAt(bytes, 80));
    EXPECT_EQ(texture->fields->flags, static_cast<std::uint32_t>(test::Le32(bytes, 112)));
    EXPECT_EQ(texture->fields->contents, static_cast<std::uint32_t>(test::Le32(bytes, 116)));
    EXPECT_EQ(texture->fields->value, static_cast<std::uint32_t>(test::Le32(bytes, 888)));
}

TEST(WalVersion3, FieldsLieAtTheirOwnOffsets) {
    Bytes bytes = test::MipBytes(kWal3Shape)
                      .Size(1, 1)
                      .Set(44, 892)
                      .Set(112, 7)
                      .Set(116, 8)
                      .Set(888, 9)
                      .Pixels(1, 42)
                      .Bytes();
    bytes[1] = 'n';
    bytes[80] = 'a';
    bytes[kPaletteAt + 3 * 42] = 200;
    const auto texture = DecodeWal(bytes, nullptr, LevelsWanted::First);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->indexed->pixels[0], 42);
    EXPECT_EQ(texture->palette[3 * 42], 200);
    EXPECT_EQ(texture->fields->name, "n");
    EXPECT_EQ(texture->fields->animationName, "a");
    EXPECT_EQ(texture->fields->flags, 7u);
    EXPECT_EQ(texture->fields->contents, 8u);
    EXPECT_EQ(texture->fields->value, 9u);
}

// A classic .wal begins with its name: one whose first byte is 3 is not written (it would read as
// version 3), and the refusal says why; any other kept name reads back as the same kind.
TEST(WalVersion3, ClassicWriterRefusesANameThatWouldMarkVersion3) {
    const auto image = ReadWalImage(RealFile());
    ASSERT_TRUE(image);
    for (const char* name : {"\x03test", "test"}) {
        const WriteOptions options{MipFilter::Point, HeaderFields{name, "", 0, 0, 0}};
        const bool marks = name[0] == '\x03';
        const auto written = WriteWal(*image, WalPalette, options);
        EXPECT_EQ(written.has_value(), !marks) << name;
        EXPECT_EQ(RefuseWal(*image, options) != nullptr, marks) << name;
        if (written) {
            EXPECT_EQ(ReadWalFields(*written)->name, name);
        }
    }
}

struct Hostile {
    const char* what;
    Bytes file;
    LevelsWanted levels;
    ReadError reason;
};

TEST(WalVersion3, RefusesDamagedHeadersWithTheirReason) {
    const auto base = [] { return test::MipBytes(kWal3Shape); };
    const Hostile cases[] = {
        {"only the version byte", Bytes{3}, LevelsWanted::First, ReadError::Truncated},
        {"cut before the value", base().Size(2, 2).Cut(890).Bytes(), LevelsWanted::First,
         ReadError::Truncated},
        {"negative width", base().Size(-2, 2).Bytes(), LevelsWanted::First, ReadError::BadHeader},
        {"width past 2^31", base().Size(static_cast<std::int32_t>(0x80000002u), 2).Bytes(),
         LevelsWanted::First, ReadError::BadHeader},
        {"65536 x 65536", base().Size(65536, 65536).Pixels(16).Bytes(), LevelsWanted::First,
         ReadError::BadHeader},
        {"level 0 cut", base().Size(4, 4).Pixels(15).Bytes(), LevelsWanted::First,
         ReadError::Truncated},
        {"level 1 past the end", base().Size(2, 2).Set(48, 5000).Pixels(5).Bytes(),
         LevelsWanted::All, ReadError::Truncated},
        {"level 1 without an offset", base().Size(2, 2).Pixels(5).Bytes(), LevelsWanted::All,
         ReadError::BadHeader},
    };
    for (const Hostile& c : cases) {
        ReadError error = ReadError::None;
        EXPECT_FALSE(DecodeWal(c.file, &error, c.levels)) << c.what;
        EXPECT_EQ(error, c.reason) << c.what;
    }
}

TEST(WalVersion3, InfoShowsSizeLevelsAndFieldsWithoutRuleBreaks) {
    const auto info = InspectTexture(RealFile(), SourceFormat::Wal);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 2);
    EXPECT_EQ(info->height, 2);
    ASSERT_EQ(info->levels.size(), 2u);
    EXPECT_EQ(info->levels[1].offset, 896);
    EXPECT_EQ(info->distinctIndices, 3u);
    ASSERT_TRUE(info->fields);
    EXPECT_EQ(info->fields->animationName, "testanim");
    EXPECT_TRUE(info->ruleBreaks.empty()) << info->ruleBreaks.front();
}

TEST(WalVersion3, GoesToPngWithItsIndicesAndPalette) {
    if (!TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built without libspng";
    }
    namespace fs = std::filesystem;
    test::ScratchDir dir;
    fs::create_directories(dir.Path() / "out");
    RunSettings settings;
    settings.RunFiles = {"dk_opaque.wal"};
    settings.RunInputDir = test::DataPath("family").string();
    settings.RunOutputDir = (dir.Path() / "out").string();
    settings.RunConvFrom = SourceFormat::Wal;
    settings.RunConvTo = TargetFormat::Png;
    RunState state;
    PrepareProgress(state, 1);
    test::RecordingFeedback boxes;
    RunConversion(settings, state, boxes);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front();

    const Bytes original = RealFile();
    const auto png = ParsePngPicture(test::ReadAll(dir.Path() / "out" / "dk_opaque.png"));
    ASSERT_TRUE(png && png->IsIndexed());
    EXPECT_EQ(test::PixelsOf(*png->indexed), Bytes(original.begin() + 892, original.begin() + 896));
    EXPECT_TRUE(
        std::equal(png->palette.begin(), png->palette.end(), original.begin() + kPaletteAt));
}

} // namespace
} // namespace texelary
