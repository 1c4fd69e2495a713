// What a build made without libspng or libimagequant does in their place (Debian has neither for
// Windows): PNG files are refused with a reason that says so, and true colour is brought down to
// a palette only when its colours fit.

#include "TestFiles.h"
#include "TestImages.h"
#include "colour/Quantize.h"
#include "formats/Formats.h"
#include "formats/TextureInfo.h"
#include "formats/pictures/PngFormat.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

TEST(LeftOutLibraries, PngFilesAreRefusedSayingSo) {
    if (TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built with libspng";
    }
    const auto file = test::ReadAll(test::DataPath("made/pillow.png"));
    ReadError error = ReadError::None;
    EXPECT_FALSE(ParsePngPicture(file, &error));
    EXPECT_EQ(error, ReadError::NotBuiltIn);
    error = ReadError::None;
    EXPECT_FALSE(InspectTexture(file, SourceFormat::Png, &error));
    EXPECT_EQ(error, ReadError::NotBuiltIn);
    EXPECT_STREQ(DescribeReadError(error),
                 "this build of the program was made without support for this format");
    IndexedImage image =
        test::MakePicture(2, 2, [](std::int32_t, std::int32_t) { return std::uint8_t{1}; });
    EXPECT_FALSE(EncodePng(image, Palette{}));
}

TEST(LeftOutLibraries, TrueColourIsBroughtDownOnlyWhenItsColoursFit) {
    if (TEXELARY_HAVE_LIBIMAGEQUANT) {
        GTEST_SKIP() << "built with libimagequant";
    }
    for (const int colours : {256, 257}) {
        RgbaImage image{colours, 1, {}};
        for (int x = 0; x < colours; ++x) {
            image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(x),
                                                     static_cast<std::uint8_t>(x / 256), 0, 255});
        }
        Palette palette{};
        palette.fill(7);
        const auto result = QuantizeToOwnPalette(image, palette);
        EXPECT_EQ(result != nullptr, colours == 256);
        EXPECT_EQ(palette[3 * 255], colours == 256 ? 255 : 7); // untouched when refused
    }
}

} // namespace
} // namespace texelary
