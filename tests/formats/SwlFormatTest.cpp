#include "formats/mips/SwlFormat.h"

#include "MipBytes.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace texelary {
namespace {

using test::MipBytes;
using test::PixelsOf;

constexpr std::size_t kHeaderSize = 1236;
constexpr std::size_t kChecksumAt = 1096;
constexpr std::size_t kOffsetsAt = 1100;
constexpr test::MipHeaderShape kSwlShape{kHeaderSize, 64, 68, 0};

// The formulas of scripts/make-swl-samples.py, which wrote the samples.
Palette SamplePalette() {
    Palette palette{};
    for (std::size_t i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<std::uint8_t>(i);
        palette[3 * i + 1] = static_cast<std::uint8_t>(255 - i);
        palette[3 * i + 2] = static_cast<std::uint8_t>((i * 7) % 256);
    }
    return palette;
}
std::uint8_t OwnLevelPixel(int level, std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>((x * 13 + y * 101 + level * 50) % 256);
}
std::uint8_t Level0Pixel(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>((x * 7 + y * 31 + 5) % 256);
}

// Level `level` of a sample as the script drew it.
IndexedImage SampleLevel(bool ownLevels, int level, std::int32_t width, std::int32_t height) {
    return test::MakePicture(width >> level, height >> level, [&](std::int32_t x, std::int32_t y) {
        return ownLevels ? OwnLevelPixel(level, x, y) : Level0Pixel(x << level, y << level);
    });
}

struct Sample {
    const char* file;
    std::int32_t width, height;
    bool ownLevels; // levels drawn on their own rather than point-sampled from level 0
    HeaderFields fields;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples{
        {"swl_levels16.swl", 16, 16, true,
         HeaderFields{"textures/sin/metal/plate16", "", 0x00200401, 0x08000001, 300, std::nullopt,
                      SwlFields{150,
                                0.25f,
                                0.5f,
                                90,
                                270,
                                2.0f,
                                0.75f,
                                1.5f,
                                0.125f,
                                3.5f,
                                {0.25f, 0.5f, 0.875f}}}},
        {"swl_water32.swl", 32, 8, false,
         HeaderFields{"textures/sin/water/water1", "textures/sin/water/water2", 0x00800008, 0x20,
                      65535, std::nullopt,
                      SwlFields{7,
                                0.1875f,
                                1.0f,
                                65535,
                                1,
                                0.0f,
                                0.5f,
                                0.0625f,
                                1.0f,
                                0.0f,
                                {0.0f, 0.375f, 1.0f}}}},
        {"swl_thin.swl", 8, 2, false, HeaderFields{"", "", 0, 0, 0, std::nullopt, SwlFields{}}},
    };
    return samples;
}

std::vector<std::uint8_t> SampleBytes(const char* file) {
    return test::ReadAll(test::DataPath(std::string("family/") + file));
}

void PrintTo(const Sample& sample, std::ostream* out) {
    *out << sample.file;
}

class SwlSamples : public ::testing::TestWithParam<Sample> {};

TEST_P(SwlSamples, ReadsEveryLevelFieldAndColourAsWritten) {
    const Sample& s = GetParam();
    const auto bytes = SampleBytes(s.file);
    ReadError error = ReadError::OutOfMemory;
    const auto texture = DecodeSwl(bytes, &error, LevelsWanted::All);
    ASSERT_TRUE(texture) << DescribeReadError(error);
    EXPECT_EQ(error, ReadError::None);
    EXPECT_EQ(texture->palette, SamplePalette());
    EXPECT_EQ(texture->fields, s.fields);
    std::vector<const IndexedImage*> levels{texture->indexed.get()};
    for (const auto& level : texture->levels) {
        levels.push_back(level.get());
    }
    // The levels stop at the first without pixels.
    int withPixels = 0;
    while (withPixels < 4 && (s.width >> withPixels) > 0 && (s.height >> withPixels) > 0) {
        ++withPixels;
    }
    ASSERT_EQ(levels.size(), static_cast<std::size_t>(withPixels));
    for (int i = 0; i < withPixels; ++i) {
        const IndexedImage expected = SampleLevel(s.ownLevels, i, s.width, s.height);
        const IndexedImage& level = *levels[static_cast<std::size_t>(i)];
        EXPECT_EQ(level.width, expected.width) << "level " << i;
        EXPECT_EQ(level.height, expected.height) << "level " << i;
        EXPECT_EQ(PixelsOf(level), PixelsOf(expected)) << "level " << i;
    }
    const auto info = InspectSwl(bytes, &error);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->ruleBreaks, std::vector<std::string>{});
    EXPECT_EQ(info->fields, s.fields);
    EXPECT_EQ(info->levels.size(), levels.size());
}

TEST_P(SwlSamples, WritesBackTheSameBytesFromLevel0AndTheFields) {
    const Sample& s = GetParam();
    const auto bytes = SampleBytes(s.file);
    const auto texture = DecodeSwl(bytes, nullptr, LevelsWanted::First);
    ASSERT_TRUE(texture);
    const auto written = WriteSwl(*texture->indexed, texture->palette,
                                  WriteOptions(MipFilter::Point, texture->fields));
    ASSERT_TRUE(written);
    ASSERT_EQ(written->size(), bytes.size());
    // Levels drawn on their own cannot come back; everything else does, byte for byte.
    const std::size_t compared =
        s.ownLevels ? kHeaderSize + static_cast<std::size_t>(s.width * s.height) : bytes.size();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(compared),
                           written->begin()));
}

INSTANTIATE_TEST_SUITE_P(SwlFiles, SwlSamples, ::testing::ValuesIn(Samples()));

TEST(SwlRoundTrip, KeepsPixelsPaletteAndEveryFieldCutToItsSize) {
    const IndexedImage image = test::Patterned(37, 21);
    Palette palette{};
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    HeaderFields fields{
        std::string(70, 'n'),
        "sin/next",
        0xdeadbeef,
        0x80000001,
        0x12345,
        std::nullopt,
        SwlFields{
            65535, 0.3f, -1.25f, 359, 12, 4.0f, 0.6f, 0.9f, 0.05f, 2.5f, {1.0f, 0.0f, 0.33f}}};
    for (const MipFilter mips : {MipFilter::Point, MipFilter::Box}) {
        const auto file = WriteSwl(image, palette, WriteOptions(mips, fields));
        ASSERT_TRUE(file);
        ReadError error = ReadError::OutOfMemory;
        const auto back = DecodeSwl(*file, &error, LevelsWanted::All);
        ASSERT_TRUE(back) << DescribeReadError(error);
        EXPECT_EQ(PixelsOf(*back->indexed), PixelsOf(image));
        EXPECT_EQ(back->palette, palette);
        HeaderFields expected = fields;
        expected.name = std::string(63, 'n');
        expected.value = 0x2345;
        EXPECT_EQ(back->fields, expected);
        ASSERT_EQ(back->levels.size(), 3u);
        EXPECT_EQ(back->levels[2]->width, 4);
        EXPECT_EQ(back->levels[2]->height, 2);
        EXPECT_EQ(InspectSwl(*file, nullptr)->ruleBreaks, std::vector<std::string>{});
    }
}

TEST(SwlWrite, LeavesEveryFieldZeroWithoutKeptFields) {
    const auto file = WriteSwl(test::Patterned(4, 4), SamplePalette());
    ASSERT_TRUE(file);
    EXPECT_EQ(std::count(file->begin(), file->begin() + 64, 0), 64);
    EXPECT_EQ(std::count(file->begin() + 1116, file->begin() + kHeaderSize, 0), 120);
    const auto back = DecodeSwl(*file, nullptr, LevelsWanted::First);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields, (HeaderFields{"", "", 0, 0, 0, std::nullopt, SwlFields{}}));
}

TEST(SwlWrite, KeepsTheSharedFieldsAloneWithZerosForTheRest) {
    const HeaderFields shared{"sin/wall", "sin/wall2", 1, 2, 0x12345};
    const auto file =
        WriteSwl(test::Patterned(4, 4), SamplePalette(), WriteOptions(MipFilter::Point, shared));
    ASSERT_TRUE(file);
    const auto back = DecodeSwl(*file, nullptr, LevelsWanted::First);
    ASSERT_TRUE(back);
    // The value keeps its low 16 bits; the field after it stays 0.
    EXPECT_EQ(back->fields,
              (HeaderFields{"sin/wall", "sin/wall2", 1, 2, 0x2345, std::nullopt, SwlFields{}}));
}

TEST(SwlRead, TakesLevel0FromItsOffsetWhereverItIs) {
    auto bytes = SampleBytes("swl_thin.swl");
    bytes.insert(bytes.begin() + kHeaderSize, {9, 9, 9, 9});
    for (std::size_t at : {kOffsetsAt, kOffsetsAt + 4}) {
        bytes[at] = static_cast<std::uint8_t>(bytes[at] + 4); // 1236 + 4 and 1252 + 4: no carry
    }
    const auto texture = DecodeSwl(bytes, nullptr, LevelsWanted::All);
    ASSERT_TRUE(texture);
    EXPECT_EQ(PixelsOf(*texture->indexed), PixelsOf(SampleLevel(false, 0, 8, 2)));
    ASSERT_EQ(texture->levels.size(), 1u);
    EXPECT_EQ(PixelsOf(*texture->levels[0]), PixelsOf(SampleLevel(false, 1, 8, 2)));
    // The look inside says where it departs from the usual layout.
    const auto info = InspectSwl(bytes, nullptr);
    ASSERT_TRUE(info);
    ASSERT_FALSE(info->ruleBreaks.empty());
    EXPECT_EQ(info->ruleBreaks[0], "level 0 starts at 1240, not right after the one before (1236)");
}

TEST(SwlChecksum, IsTheCrcThatTheSamplesScriptComputes) {
    // 0xb76f: binascii.crc_hqx(bytes(1024), 0xffff), the CRC-CCITT of an all-black palette.
    EXPECT_EQ(SwlPaletteChecksum(Palette{}), 0xb76f);
    const auto bytes = SampleBytes("swl_levels16.swl");
    EXPECT_EQ(SwlPaletteChecksum(SamplePalette()), test::Le32(bytes, kChecksumAt) & 0xffff);
    EXPECT_EQ(SwlPaletteChecksum(SamplePalette()), 0x2890);
}

TEST(SwlChecksum, AStoredOneThatThePaletteDoesNotGiveBreaksTheRules) {
    auto bytes = SampleBytes("swl_thin.swl");
    const std::uint16_t good = SwlPaletteChecksum(SamplePalette());
    bytes[kChecksumAt] ^= 0x01;
    const auto info = InspectSwl(bytes, nullptr);
    ASSERT_TRUE(info);
    char text[80];
    std::snprintf(text, sizeof text, "palette checksum 0x%04x, not 0x%04x as its palette gives",
                  good ^ 0x01, good);
    EXPECT_EQ(info->ruleBreaks, std::vector<std::string>{text});
    EXPECT_TRUE(DecodeSwl(bytes, nullptr, LevelsWanted::First)); // still read
}

TEST(SwlRefuse, RefusesOnlyAPictureTooLargeForTheFormat) {
    const IndexedImage small = test::Patterned(16, 16);
    EXPECT_EQ(RefuseSwl(small, {}), nullptr);
    IndexedImage huge;
    huge.width = 50000;
    huge.height = 50000; // 2.5 G pixels: past a signed 32-bit file length
    EXPECT_NE(RefuseSwl(huge, {}), nullptr);
    EXPECT_FALSE(WriteSwl(huge, Palette{}));
}

// A copy of the 16 x 16 sample with header words changed.
std::vector<std::uint8_t>
Patched(std::initializer_list<std::pair<std::size_t, std::int32_t>> words) {
    auto bytes = SampleBytes("swl_levels16.swl");
    for (const auto& [offset, value] : words) {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes.at(offset + i) =
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
        }
    }
    return bytes;
}

struct HostileCase {
    const char* what;
    std::function<std::vector<std::uint8_t>()> bytes;
    LevelsWanted levels;
    ReadError error; // None: a picture must come back
};

void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.what;
}

class SwlHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(SwlHostile, RefusesWithItsReasonBeforeAllocating) {
    const HostileCase& c = GetParam();
    ReadError error = ReadError::OutOfMemory;
    const auto texture = DecodeSwl(c.bytes(), &error, c.levels);
    EXPECT_EQ(error, c.error) << c.what << ": " << DescribeReadError(error);
    EXPECT_EQ(texture.has_value(), c.error == ReadError::None) << c.what;
}

const std::size_t kSampleSize = kHeaderSize + 256 + 64 + 16 + 4;

INSTANTIATE_TEST_SUITE_P(
    SwlHeaders, SwlHostile,
    ::testing::Values(
        HostileCase{"empty file", [] { return std::vector<std::uint8_t>{}; }, LevelsWanted::First,
                    ReadError::Truncated},
        HostileCase{"ends inside the header",
                    [] { return MipBytes(kSwlShape).Size(1, 1).Cut(kHeaderSize - 1).Bytes(); },
                    LevelsWanted::First, ReadError::Truncated},
        HostileCase{"negative width",
                    [] {
                        return Patched({{64, -16}});
                    },
                    LevelsWanted::First, ReadError::BadHeader},
        HostileCase{"pixel count past 32 bits",
                    [] {
                        return Patched({{64, 65536}, {68, 65536}});
                    },
                    LevelsWanted::First, ReadError::BadHeader},
        HostileCase{"huge width, pixels past the end",
                    [] {
                        return Patched({{64, 0x7fffffff / 16}});
                    },
                    LevelsWanted::First, ReadError::Truncated},
        HostileCase{"level 0 inside the header",
                    [] {
                        return Patched({{kOffsetsAt, 1000}});
                    },
                    LevelsWanted::First, ReadError::BadHeader},
        HostileCase{"level 0 at a negative offset",
                    [] {
                        return Patched({{kOffsetsAt, -4}});
                    },
                    LevelsWanted::First, ReadError::BadHeader},
        HostileCase{"level 0 offset past the end",
                    [] {
                        return Patched({{kOffsetsAt, 0x7ffffff0}});
                    },
                    LevelsWanted::First, ReadError::Truncated},
        HostileCase{
            "level 0 pixels past the end",
            [] {
                return Patched({{kOffsetsAt, static_cast<std::int32_t>(kSampleSize - 255)}});
            },
            LevelsWanted::First, ReadError::Truncated},
        HostileCase{"level 1 without an offset",
                    [] {
                        return Patched({{kOffsetsAt + 4, 0}});
                    },
                    LevelsWanted::All, ReadError::BadHeader},
        HostileCase{"level 3 past the end",
                    [] {
                        return Patched({{kOffsetsAt + 12, static_cast<std::int32_t>(kSampleSize)}});
                    },
                    LevelsWanted::All, ReadError::Truncated},
        HostileCase{"level 3 past the end, not asked for",
                    [] {
                        return Patched({{kOffsetsAt + 12, static_cast<std::int32_t>(kSampleSize)}});
                    },
                    LevelsWanted::First, ReadError::None},
        HostileCase{"zero width: a picture without pixels",
                    [] {
                        return Patched({{64, 0}});
                    },
                    LevelsWanted::All, ReadError::None}));

} // namespace
} // namespace texelary
