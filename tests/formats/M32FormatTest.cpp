#include "formats/mips/M32Format.h"

#include "MipBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace texelary {
namespace {

using test::DataPath;
using test::Le32;
using test::ReadAll;

// The levels of a .m32 by plain offset arithmetic on its bytes, apart from the reader's code.
std::vector<RgbaImage> LevelsByHand(const std::vector<std::uint8_t>& file) {
    std::vector<RgbaImage> levels;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::int32_t width = Le32(file, 516 + 4 * i);
        const std::int32_t height = Le32(file, 580 + 4 * i);
        const auto offset = static_cast<std::size_t>(Le32(file, 644 + 4 * i));
        if (width == 0 || height == 0) {
            break;
        }
        const std::size_t bytes = 4 * static_cast<std::size_t>(width * height);
        levels.push_back({width,
                          height,
                          {file.begin() + static_cast<std::ptrdiff_t>(offset),
                           file.begin() + static_cast<std::ptrdiff_t>(offset + bytes)}});
    }
    return levels;
}

void ExpectSameLevels(const std::vector<RgbaImage>& actual,
                      const std::vector<RgbaImage>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].width, expected[i].width) << "level " << i;
        EXPECT_EQ(actual[i].height, expected[i].height) << "level " << i;
        EXPECT_EQ(actual[i].pixels, expected[i].pixels) << "level " << i;
    }
}

HeaderFields RealFields(std::string name, std::string alternate, std::string animation,
                        std::string damage, std::string detail) {
    M32Fields m32;
    m32.alternateName = std::move(alternate);
    m32.damageName = std::move(damage);
    m32.detailName = std::move(detail);
    return HeaderFields{std::move(name), std::move(animation), 2048, 0, 0, m32};
}

struct RealFile {
    const char* path;
    std::size_t levelCount;
    HeaderFields fields;
};

class M32RealFile : public ::testing::TestWithParam<RealFile> {};

TEST_P(M32RealFile, ReadsEveryLevelAndFieldAndWritesTheSameBytes) {
    const RealFile& real = GetParam();
    const auto file = ReadAll(DataPath(real.path));
    const auto byHand = LevelsByHand(file);
    ASSERT_EQ(byHand.size(), real.levelCount);

    const auto levels = DecodeM32Levels(file);
    ASSERT_TRUE(levels);
    ExpectSameLevels(*levels, byHand);
    ReadError error = ReadError::Truncated;
    const auto texture = DecodeM32(file, &error, LevelsWanted::All);
    ASSERT_TRUE(texture && texture->trueColour) << DescribeReadError(error);
    EXPECT_EQ(error, ReadError::None);
    ExpectSameLevels({*texture->trueColour}, {byHand[0]});
    EXPECT_TRUE(texture->levels.empty());
    EXPECT_EQ(texture->fields, real.fields);

    // The files' smaller levels are the top-left pixels of level 0, so point sampling makes them
    // again byte for byte; averaging keeps every field.
    EXPECT_EQ(WriteM32(*texture->trueColour, {MipFilter::Point, texture->fields}), file);
    const auto averaged = WriteM32(*texture->trueColour, {MipFilter::Box, texture->fields});
    ASSERT_TRUE(averaged);
    EXPECT_EQ(DecodeM32(*averaged, nullptr, LevelsWanted::First)->fields, real.fields);
    EXPECT_EQ(averaged->size(), file.size());

    ReadError inspected = ReadError::Truncated;
    const auto info = InspectM32(file, &inspected);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->levels.size(), real.levelCount);
    EXPECT_TRUE(info->ruleBreaks.empty());
    EXPECT_EQ(info->version, 4);
    EXPECT_FALSE(info->distinctIndices);
    EXPECT_EQ(info->fields, real.fields);
}

INSTANTIATE_TEST_SUITE_P(Family, M32RealFile,
                         ::testing::Values(RealFile{"family/test.m32", 2,
                                                    RealFields("test", "test_subst", "test_anim",
                                                               "test_damaged", "test_detail")},
                                           RealFile{"family/testBinaryAlpha.m32", 2,
                                                    RealFields("test", "test_subst", "test_anim",
                                                               "test_damaged", "test_detail")},
                                           RealFile{"family/__tb_empty.m32", 6,
                                                    RealFields("__tb_empty", "", "", "", "")}));

RgbaImage Picture(std::int32_t width, std::int32_t height) {
    RgbaImage picture{width, height, {}};
    for (std::int32_t i = 0; i < 4 * width * height; ++i) {
        picture.pixels.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    }
    return picture;
}

TEST(M32Format, KeepsPixelsAlphaAndEveryFieldThroughAWriteAndARead) {
    M32Fields m32{"alt", "damaged", 0.5f, 2.0f,  3, "detail", 0.25f,
                  4.0f,  -1.5f,     8.0f, 0.75f, 6, 7,        {}};
    for (std::size_t i = 0; i < m32.reserved.size(); ++i) {
        m32.reserved[i] = static_cast<std::int32_t>(i * 1000 + 1) * (i % 2 == 0 ? 1 : -1);
    }
    const HeaderFields fields{"walls/stone", "walls/stone2", 0x80000001u, 9, 10, m32};
    const RgbaImage picture = Picture(5, 3);
    const auto file = WriteM32(picture, {MipFilter::Box, fields});
    ASSERT_TRUE(file);
    const auto back = DecodeM32(*file, nullptr, LevelsWanted::First);
    ASSERT_TRUE(back && back->trueColour);
    EXPECT_EQ(back->trueColour->pixels, picture.pixels);
    EXPECT_EQ(back->fields, fields);
    ExpectSameLevels(*DecodeM32Levels(*file), LevelsByHand(*file));

    // Without the .m32 fields, or without any, the header takes their defaults.
    HeaderFields shared = fields;
    shared.m32.reset();
    HeaderFields defaults = shared;
    defaults.m32 = M32Fields{};
    EXPECT_EQ(DecodeM32(*WriteM32(picture, {MipFilter::Box, shared}), nullptr, LevelsWanted::First)
                  ->fields,
              defaults);
    EXPECT_EQ(DecodeM32(*WriteM32(picture), nullptr, LevelsWanted::First)->fields,
              (HeaderFields{"", "", 0, 0, 0, M32Fields{}}));
}

TEST(M32Format, CutsNamesToTheirFields) {
    HeaderFields fields{std::string(200, 'n'), "", 0, 0, 0, M32Fields{}};
    fields.m32->detailName = std::string(128, 'd');
    const auto back =
        DecodeM32(*WriteM32(Picture(1, 1), {MipFilter::Box, fields}), nullptr, LevelsWanted::First);
    EXPECT_EQ(back->fields->name, std::string(127, 'n'));
    EXPECT_EQ(back->fields->m32->detailName, std::string(127, 'd'));
}

struct LevelCase {
    std::int32_t width, height;
    MipFilter mips;
    std::vector<std::vector<std::uint8_t>> levels; // after level 0, each level's bytes
};

class M32Levels : public ::testing::TestWithParam<LevelCase> {};

// Level 0 of each case: pixel i is (10 i, 10 i + 1, 10 i + 2, 10 i + 3) over its 4 channels,
// but for pixel 1, whose channels are (255, 0, 255, 1).
RgbaImage Counting(std::int32_t width, std::int32_t height) {
    RgbaImage picture{width, height, {}};
    for (std::int32_t i = 0; i < width * height; ++i) {
        for (std::int32_t c = 0; c < 4; ++c) {
            const std::int32_t odd = c % 2 == 0 ? 255 : c / 3;
            picture.pixels.push_back(static_cast<std::uint8_t>(i == 1 ? odd : 10 * i + c));
        }
    }
    return picture;
}

TEST_P(M32Levels, AverageTheLevelAboveOrSampleLevelZero) {
    const LevelCase& c = GetParam();
    const auto file = WriteM32(Counting(c.width, c.height), {c.mips, std::nullopt});
    ASSERT_TRUE(file);
    const auto levels = LevelsByHand(*file);
    ASSERT_EQ(levels.size(), c.levels.size() + 1);
    std::size_t offset = 968;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(Le32(*file, 644 + 4 * i)), offset) << "level " << i;
        offset += levels[i].pixels.size();
        if (i > 0) {
            EXPECT_EQ(levels[i].pixels, c.levels[i - 1]) << "level " << i;
        }
    }
    EXPECT_EQ(file->size(), offset);
    EXPECT_EQ(Le32(*file, 516 + 4 * levels.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, M32Levels,
    ::testing::Values(
        // 4 x 2: blocks {0, 1, 4, 5} and {2, 3, 6, 7}; then the 2 x 1 level's pair.
        LevelCase{4,
                  2,
                  MipFilter::Box,
                  {{(0 + 255 + 40 + 50) / 4, (1 + 0 + 41 + 51) / 4, (2 + 255 + 42 + 52) / 4,
                    (3 + 1 + 43 + 53) / 4, (20 + 30 + 60 + 70) / 4, (21 + 31 + 61 + 71) / 4,
                    (22 + 32 + 62 + 72) / 4, (23 + 33 + 63 + 73) / 4},
                   {(86 + 45) / 2, (23 + 46) / 2, (87 + 47) / 2, (25 + 48) / 2}}},
        LevelCase{4, 2, MipFilter::Point, {{0, 1, 2, 3, 20, 21, 22, 23}, {0, 1, 2, 3}}},
        // 1 x 3: the side of 1 stays, the odd last row belongs to no block.
        LevelCase{1, 3, MipFilter::Box, {{127, 0, 128, 2}}},
        LevelCase{3, 1, MipFilter::Point, {{0, 1, 2, 3}}},
        // 5 x 1 ends 2 x 1, 1 x 1: point samples 0, 2 then 0.
        LevelCase{5, 1, MipFilter::Point, {{0, 1, 2, 3, 20, 21, 22, 23}, {0, 1, 2, 3}}}));

// The level below `above` by its definition, one channel at a time.
RgbaImage BlockAverages(const RgbaImage& above) {
    const std::int32_t blockWidth = above.width > 1 ? 2 : 1;
    const std::int32_t blockHeight = above.height > 1 ? 2 : 1;
    RgbaImage level{above.width / blockWidth, above.height / blockHeight, {}};
    for (std::int32_t y = 0; y < level.height; ++y) {
        for (std::int32_t x = 0; x < level.width; ++x) {
            for (std::int32_t c = 0; c < 4; ++c) {
                std::int32_t sum = 0;
                for (std::int32_t dy = 0; dy < blockHeight; ++dy) {
                    for (std::int32_t dx = 0; dx < blockWidth; ++dx) {
                        const auto at =
                            4 * ((y * blockHeight + dy) * above.width + x * blockWidth + dx) + c;
                        sum += above.pixels[static_cast<std::size_t>(at)];
                    }
                }
                level.pixels.push_back(static_cast<std::uint8_t>(sum / (blockWidth * blockHeight)));
            }
        }
    }
    return level;
}

RgbaImage TopLeftPixels(const RgbaImage& full, const RgbaImage& level, std::size_t shift) {
    RgbaImage sampled{level.width, level.height, {}};
    for (std::int32_t y = 0; y < level.height; ++y) {
        for (std::int32_t x = 0; x < level.width; ++x) {
            const auto at = 4 * static_cast<std::size_t>((y << shift) * full.width + (x << shift));
            sampled.pixels.insert(sampled.pixels.end(),
                                  full.pixels.begin() + static_cast<std::ptrdiff_t>(at),
                                  full.pixels.begin() + static_cast<std::ptrdiff_t>(at + 4));
        }
    }
    return sampled;
}

TEST(M32Format, MakesTheLevelsOfLargerPicturesAsTheirBlocksSay) {
    for (const auto& [width, height] : {std::pair{37, 11}, {64, 64}, {33, 1}, {1, 19}, {130, 3}}) {
        const RgbaImage picture = Picture(width, height);
        const auto averaged = LevelsByHand(*WriteM32(picture, {MipFilter::Box, std::nullopt}));
        const auto sampled = LevelsByHand(*WriteM32(picture, {MipFilter::Point, std::nullopt}));
        ASSERT_EQ(averaged.size(), sampled.size());
        std::vector<RgbaImage> expectAveraged{picture}, expectSampled{picture};
        for (std::size_t i = 1; i < averaged.size(); ++i) {
            expectAveraged.push_back(BlockAverages(expectAveraged.back()));
            expectSampled.push_back(TopLeftPixels(picture, expectAveraged.back(), i));
        }
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        ExpectSameLevels(averaged, expectAveraged);
        ExpectSameLevels(sampled, expectSampled);
        EXPECT_EQ(averaged.back().width * averaged.back().height, 1);
    }
}

TEST(M32Format, RefusesPicturesWithoutPixelsOrPastThirtyTwoBitOffsets) {
    EXPECT_EQ(RefuseM32(Picture(2, 1), {}), nullptr);
    EXPECT_STREQ(RefuseM32(RgbaImage{}, {}), "the texture has no pixels");
    EXPECT_FALSE(WriteM32(RgbaImage{}));
    // 23170 x 23170 pixels take 2^31 - 7.5 million bytes; their levels push the file past 2^31.
    const RgbaImage huge{23170, 23170, {}};
    EXPECT_STREQ(RefuseM32(huge, {}), "too large for the format");
    EXPECT_FALSE(WriteM32(huge));
    EXPECT_STREQ(RefuseM32(RgbaImage{20000, 20000, {}}, {}), "the texture has no pixels");
}

// The written 2 x 2 file, its header patched at `at` with `value`, then cut to `length` bytes
// (0: not cut).
struct HostileCase {
    const char* what;
    std::size_t at;
    std::int32_t value;
    std::size_t length;
    ReadError first;  // DecodeM32's reason
    ReadError levels; // DecodeM32Levels's
};

class M32Hostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(M32Hostile, IsRefusedForItsReason) {
    const HostileCase& c = GetParam();
    auto file = *WriteM32(Picture(2, 2)); // 968 header, 16 + 4 pixel bytes
    for (std::size_t i = 0; i < 4; ++i) {
        file[c.at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(c.value) >> (8 * i));
    }
    if (c.length != 0) {
        file.resize(c.length);
    }
    ReadError error = ReadError::None;
    EXPECT_EQ(DecodeM32(file, &error, LevelsWanted::First).has_value(), c.first == ReadError::None);
    EXPECT_EQ(error, c.first);
    EXPECT_EQ(InspectM32(file, &error).has_value(), c.first == ReadError::None);
    EXPECT_EQ(error, c.first);
    EXPECT_EQ(DecodeM32Levels(file, &error).has_value(), c.levels == ReadError::None);
    EXPECT_EQ(error, c.levels);
}

constexpr std::size_t kWidth0 = 516, kHeight0 = 580, kOffset0 = 644, kOffset1 = 648;

INSTANTIATE_TEST_SUITE_P(
    Headers, M32Hostile,
    ::testing::Values(
        HostileCase{"ThreeBytes", 0, 4, 3, ReadError::Truncated, ReadError::Truncated},
        HostileCase{"InsideHeader", 0, 4, 967, ReadError::Truncated, ReadError::Truncated},
        HostileCase{"Version3", 0, 3, 0, ReadError::BadSignature, ReadError::BadSignature},
        HostileCase{"Version3Short", 0, 3, 10, ReadError::BadSignature, ReadError::BadSignature},
        HostileCase{"NoWidth", kWidth0, 0, 0, ReadError::NoPixels, ReadError::NoPixels},
        HostileCase{"NegativeWidth", kWidth0, -2, 0, ReadError::BadHeader, ReadError::BadHeader},
        HostileCase{"NegativeHeight", kHeight0, -1, 0, ReadError::BadHeader, ReadError::BadHeader},
        HostileCase{"PixelCountPast2To31", kWidth0, 1 << 30, 0, ReadError::BadHeader,
                    ReadError::BadHeader},
        HostileCase{"BytesPast2To31", kWidth0, 1 << 29, 0, ReadError::Truncated,
                    ReadError::Truncated},
        HostileCase{"OffsetInHeader", kOffset0, 967, 0, ReadError::BadHeader, ReadError::BadHeader},
        HostileCase{"OffsetZero", kOffset0, 0, 0, ReadError::BadHeader, ReadError::BadHeader},
        HostileCase{"OffsetPastEnd", kOffset0, 989, 0, ReadError::Truncated, ReadError::Truncated},
        HostileCase{"OffsetFarPastEnd", kOffset0, -1, 0, ReadError::Truncated,
                    ReadError::Truncated},
        HostileCase{"LevelZeroCut", 0, 4, 983, ReadError::Truncated, ReadError::Truncated},
        HostileCase{"LevelOneCut", 0, 4, 987, ReadError::None, ReadError::Truncated},
        HostileCase{"LevelOneInHeader", kOffset1, 4, 0, ReadError::None, ReadError::BadHeader}),
    [](const auto& row) { return std::string(row.param.what); });

TEST(M32Format, InspectionNamesWhereTheLevelsStrayFromTheRules) {
    auto file = *WriteM32(Picture(4, 2)); // levels 4 x 2 at 968, 2 x 1 at 1000, 1 x 1 at 1008
    EXPECT_TRUE(InspectM32(file, nullptr)->ruleBreaks.empty());
    file.push_back(0);
    file[648] = 0xec; // level 1 at 1004
    file[520] = 3;    // level 1 3 wide
    file[588] = 9;    // level 2 1 x 9
    const auto info = InspectM32(file, nullptr);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ruleBreaks,
              (std::vector<std::string>{
                  "level 1 is 3 x 1, not half of level 0 (2 x 1)",
                  "level 1 starts at 1004, not right after the one before (1000)",
                  "level 2 starts at 1008, not right after the one before (1012)",
                  "the file ends at 1013, before the end of its last level (1048)"}));
    file.resize(1060);
    EXPECT_EQ(InspectM32(file, nullptr)->ruleBreaks.back(),
              "the file goes on 12 bytes past its last level");
}

} // namespace
} // namespace texelary
