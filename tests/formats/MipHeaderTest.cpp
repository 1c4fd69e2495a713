// The header cases that the .m8 and .wal picture readers share: one table of cases, each read
// in both formats.

#include "MipBytes.h"
#include "formats/Formats.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"

#include <cctype>
#include <gtest/gtest.h>
#include <ostream>
#include <span>
#include <string>
#include <tuple>

namespace texelary {
namespace {

using test::MipBytes;
using test::ReadCase;

struct MipFormat {
    const char* name;
    test::MipHeaderShape shape;
    std::unique_ptr<IndexedImage> (*parse)(std::span<const std::uint8_t>, ReadError*);
};

const MipFormat kFormats[] = {
    {"m8", test::kM8Shape, ReadM8Image},
    {"wal", test::kWalShape, ReadWalImage},
};

// How much of the file is left: all of it, nothing, or the header up to the end of a field.
enum class Cut : std::uint8_t { None, Everything, AfterWidth, AfterHeight };

struct HeaderCase {
    const char* what;
    std::int32_t width, height;
    std::size_t pixels;
    Cut cut;
    bool readable;
    ReadError error;
    std::int32_t readWidth, readHeight;
};

const HeaderCase kCases[] = {
    {"empty file", 0, 0, 0, Cut::Everything, false, ReadError::Truncated, 0, 0},
    // A file that ends inside its header is refused, not read as if the rest were zero.
    {"header cut after the width", 3, 9, 0, Cut::AfterWidth, false, ReadError::Truncated, 0, 0},
    {"exact", 4, 4, 16, Cut::None, true, ReadError::None, 4, 4},
    {"with all levels", 4, 4, 21, Cut::None, true, ReadError::None, 4, 4},
    {"trailing bytes", 4, 4, 40, Cut::None, true, ReadError::None, 4, 4},
    {"negative width", -1, 4, 16, Cut::None, false, ReadError::BadHeader, 0, 0},
    {"negative height", 4, -4, 16, Cut::None, false, ReadError::BadHeader, 0, 0},
    {"negative both", -4, -4, 16, Cut::None, false, ReadError::BadHeader, 0, 0},
    {"pixel count wraps 32 bits", 65536, 65536, 16, Cut::None, false, ReadError::BadHeader, 0, 0},
    {"pixel count past int32", 46341, 46341, 0, Cut::None, false, ReadError::BadHeader, 0, 0},
    {"one pixel short", 4, 4, 15, Cut::None, false, ReadError::Truncated, 0, 0},
    {"huge picture, short file", 40000, 40000, 16, Cut::None, false, ReadError::Truncated, 0, 0},
    {"header cut short of its pixels", 1, 1, 0, Cut::AfterHeight, false, ReadError::Truncated, 0,
     0},
};

// Failures name the format and the case, not their bytes.
void PrintTo(const MipFormat& format, std::ostream* out) {
    *out << format.name;
}
void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.what;
}

std::vector<std::uint8_t> FileOf(const MipFormat& format, const HeaderCase& c) {
    MipBytes bytes(format.shape);
    bytes.Size(c.width, c.height).Pixels(c.pixels);
    switch (c.cut) {
    case Cut::None:
        break;
    case Cut::Everything:
        bytes.Cut(0);
        break;
    case Cut::AfterWidth:
        bytes.Cut(format.shape.widthAt + 4);
        break;
    case Cut::AfterHeight:
        bytes.Cut(format.shape.heightAt + 4);
        break;
    }
    return bytes.Bytes();
}

class MipHeaderCases : public ::testing::TestWithParam<std::tuple<MipFormat, HeaderCase>> {};

TEST_P(MipHeaderCases, GivesAPictureOnlyWhenTheHeaderFitsTheFile) {
    const auto& [format, c] = GetParam();
    SCOPED_TRACE(format.name);
    const ReadCase expected{c.what,  FileOf(format, c), c.readable,
                            c.error, c.readWidth,       c.readHeight};
    ReadError error = ReadError::OutOfMemory;
    const auto image = format.parse(expected.bytes, &error);
    test::ExpectReadCase(expected, image, error);
}

// Test names such as m8_pixel_count_past_int32.
std::string NameOf(const ::testing::TestParamInfo<MipHeaderCases::ParamType>& info) {
    std::string name =
        std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).what;
    for (char& ch : name) {
        ch = std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(BothFormats, MipHeaderCases,
                         ::testing::Combine(::testing::ValuesIn(kFormats),
                                            ::testing::ValuesIn(kCases)),
                         NameOf);

// A file that ends inside its header, whatever field it ends in, is refused as cut short by the
// run's read (the row's reader) and by --info alike; a whole header with no pixels after it is a
// 0 x 0 picture.
struct CutHeaderCase {
    SourceFormat format;
    std::size_t length; // of the file, from the start of its header
    ReadError error;
};

const CutHeaderCase kCutHeaders[] = {
    {SourceFormat::M8, 3, ReadError::Truncated},    // inside the version
    {SourceFormat::M8, 40, ReadError::Truncated},   // after level 0's width
    {SourceFormat::M8, 300, ReadError::Truncated},  // inside the palette
    {SourceFormat::M8, 1039, ReadError::Truncated}, // one byte short
    {SourceFormat::M8, 1040, ReadError::None},
    {SourceFormat::Wal, 1, ReadError::Truncated},  // inside the name
    {SourceFormat::Wal, 36, ReadError::Truncated}, // after the width
    {SourceFormat::Wal, 60, ReadError::Truncated}, // inside the animation name
    {SourceFormat::Wal, 99, ReadError::Truncated}, // one byte short
    {SourceFormat::Wal, 100, ReadError::None},
};

TEST(MipHeaderCut, IsRefusedAsCutShortByTheReadAndByInfo) {
    for (const CutHeaderCase& c : kCutHeaders) {
        const bool m8 = c.format == SourceFormat::M8;
        const auto bytes = MipBytes(m8 ? test::kM8Shape : test::kWalShape).Cut(c.length).Bytes();
        SCOPED_TRACE(std::string(m8 ? "m8" : "wal") + " of " + std::to_string(c.length) + " bytes");

        SourceRead read;
        read.wantLevels = true;
        ReadSourceBytes(RowOf(c.format), bytes, read);
        EXPECT_EQ(read.reason, c.error);
        EXPECT_EQ(read.image != nullptr, c.error == ReadError::None);
        EXPECT_EQ(read.fields.has_value(), c.error == ReadError::None);

        ReadError error = ReadError::None;
        const auto info = InspectTexture(bytes, c.format, &error);
        EXPECT_EQ(error, c.error);
        ASSERT_EQ(info.has_value(), c.error == ReadError::None);
        if (info) {
            EXPECT_EQ(info->width, 0);
        }
    }
    EXPECT_STREQ(DescribeReadError(ReadError::Truncated), "the file ends before its picture data");
}

} // namespace
} // namespace texelary
