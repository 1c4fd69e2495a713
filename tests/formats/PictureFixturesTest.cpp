// Files saved by Pillow and ImageMagick (tests/data/made/, see make-fixtures.sh there) read
// exactly like the 8-bit bitmaps they were made from: palette files give the same indices and
// palette, true-colour files the same colours.

#include "TestFiles.h"
#include "TestImages.h"
#include "formats/pictures/BmpFormat.h"
#include "formats/pictures/PcxFormat.h"
#include "formats/pictures/PngFormat.h"
#include "formats/pictures/TgaFormat.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace texelary {
namespace {

struct FixtureCase {
    const char* file;
    const char* bitmap; // the 8-bit bitmap it was made from, under tests/data/
    bool indexed;
    int alphaPattern; // 0: opaque; 1: alpha 100 where (x + y) % 3 == 0
};

void PrintTo(const FixtureCase& c, std::ostream* out) {
    *out << c.file;
}

TextureDecoder ReaderFor(const std::string& file) {
    const std::string extension = file.substr(file.rfind('.') + 1);
    return extension == "png"   ? ParsePngPicture
           : extension == "tga" ? ParseTgaPicture
                                : ParsePcxPicture;
}

class MadeByPrograms : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(MadeByPrograms, ReadLikeTheBitmapTheyWereMadeFrom) {
    const FixtureCase& c = GetParam();
    if (!TEXELARY_HAVE_LIBSPNG && ReaderFor(c.file) == ParsePngPicture) {
        GTEST_SKIP() << "built without libspng";
    }
    const auto bitmapBytes = test::ReadAll(test::DataPath(c.bitmap));
    const auto bitmap = ReadBmpImage(bitmapBytes);
    Palette colours{};
    ASSERT_TRUE(bitmap && ReadBmpPalette(colours, bitmapBytes));

    ReadError error = ReadError::BadHeader;
    const auto picture = ReaderFor(c.file)(
        test::ReadAll(test::DataPath(std::string("made/") + c.file)), &error, LevelsWanted::First);
    ASSERT_TRUE(picture) << DescribeReadError(error);
    EXPECT_EQ(error, ReadError::None);
    ASSERT_EQ(picture->IsIndexed(), c.indexed);
    if (c.indexed) {
        EXPECT_EQ(picture->indexed->width, bitmap->width);
        EXPECT_EQ(picture->indexed->height, bitmap->height);
        EXPECT_EQ(test::PixelsOf(*picture->indexed), test::PixelsOf(*bitmap));
        EXPECT_EQ(picture->palette, colours);
        return;
    }
    const RgbaImage& rgba = *picture->trueColour;
    ASSERT_EQ(rgba.width, bitmap->width);
    ASSERT_EQ(rgba.height, bitmap->height);
    for (std::int32_t y = 0; y < rgba.height; ++y) {
        for (std::int32_t x = 0; x < rgba.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * rgba.width + x);
            const std::size_t entry = 3 * std::size_t{bitmap->pixels[i]};
            const std::uint8_t alpha = c.alphaPattern == 1 && (x + y) % 3 == 0 ? 100 : 255;
            const std::array<std::uint8_t, 4> expected{colours[entry], colours[entry + 1],
                                                       colours[entry + 2], alpha};
            const std::array<std::uint8_t, 4> got{rgba.pixels[4 * i], rgba.pixels[4 * i + 1],
                                                  rgba.pixels[4 * i + 2], rgba.pixels[4 * i + 3]};
            ASSERT_EQ(got, expected) << "pixel " << x << ", " << y;
        }
    }
}

constexpr const char* Pillow = "bmp/made/pillow.bmp";
constexpr const char* Magick = "bmp/made/imagemagick.bmp";

INSTANTIATE_TEST_SUITE_P(
    Files, MadeByPrograms,
    ::testing::Values(
        FixtureCase{"pillow.png", Pillow, true, 0}, FixtureCase{"pillow.tga", Pillow, true, 0},
        FixtureCase{"pillow-rle.tga", Pillow, true, 0}, FixtureCase{"pillow.pcx", Pillow, true, 0},
        FixtureCase{"pillow16-4bit.png", "made/pillow16.bmp", true, 0},
        FixtureCase{"imagemagick.png", "made/imagemagick-png.bmp", true, 0},
        FixtureCase{"imagemagick-interlaced-palette.png", "made/imagemagick-png.bmp", true, 0},
        FixtureCase{"imagemagick.tga", Magick, true, 0},
        FixtureCase{"imagemagick-rle.tga", Magick, true, 0},
        FixtureCase{"imagemagick.pcx", Magick, true, 0},
        FixtureCase{"pillow2.pcx", "made/pillow2.bmp", true, 0},
        FixtureCase{"pillow-rgb.tga", Pillow, false, 0},
        FixtureCase{"pillow-rgb.pcx", Pillow, false, 0},
        FixtureCase{"pillow-rgba.png", Pillow, false, 1},
        FixtureCase{"pillow-grey.png", "made/pillow-grey.bmp", false, 0},
        FixtureCase{"pillow-grey.tga", "made/pillow-grey.bmp", false, 0},
        FixtureCase{"imagemagick-rgb16.png", Magick, false, 0},
        FixtureCase{"imagemagick-interlaced.png", Magick, false, 0},
        FixtureCase{"imagemagick-rgb-rle.tga", Magick, false, 0},
        FixtureCase{"imagemagick-rgb.pcx", Magick, false, 0},
        FixtureCase{"imagemagick-rgba-rle.tga", Pillow, false, 1}),
    [](const ::testing::TestParamInfo<FixtureCase>& caseInfo) {
        std::string name = caseInfo.param.file;
        for (char& ch : name) {
            if (ch == '.' || ch == '-') {
                ch = '_';
            }
        }
        return name;
    });

} // namespace
} // namespace texelary
