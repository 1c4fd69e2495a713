// The run with PNG, TGA and PCX sources and PNG output: palette pictures convert exactly like
// the 8-bit bitmaps they were made from, true colour comes down to the target's palette, mip
// textures go to PNG and back unchanged, and refused files say why and leave nothing behind.

#include "RecordingFeedback.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "colour/Quantize.h"
#include "colour/WalPalette.h"
#include "convert/ConversionRun.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/PngFormat.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace texelary {
namespace {

namespace fs = std::filesystem;

using Boxes = test::RecordingFeedback;

class PictureRun : public ::testing::Test {
protected:
    // Converts `name` of `directory` into out/, returning the boxes shown.
    std::vector<std::string> Convert(const fs::path& directory, const std::string& name,
                                     SourceFormat from, TargetFormat to) {
        fs::create_directories(dir.Path() / "out");
        settings.RunFiles = {name};
        settings.RunInputDir = directory.string();
        settings.RunOutputDir = (dir.Path() / "out").string();
        settings.RunConvFrom = from;
        settings.RunConvTo = to;
        RunState state;
        PrepareProgress(state, 1);
        Boxes boxes;
        RunConversion(settings, state, boxes);
        EXPECT_EQ(state.Done, 1);
        return boxes.shown;
    }

    std::vector<std::uint8_t> Output(const std::string& name) const {
        return test::ReadAll(dir.Path() / "out" / name);
    }

    test::ScratchDir dir;
    RunSettings settings;
};

struct SameAsBitmap {
    const char* file;   // under tests/data/made/
    const char* bitmap; // what it was made from, under tests/data/
    SourceFormat from;
};

void PrintTo(const SameAsBitmap& c, std::ostream* out) {
    *out << c.file;
}

class PaletteFiles : public PictureRun, public ::testing::WithParamInterface<SameAsBitmap> {};

TEST_P(PaletteFiles, ConvertByteForByteLikeTheirBitmap) {
    const SameAsBitmap& c = GetParam();
    if (!TEXELARY_HAVE_LIBSPNG && c.from == SourceFormat::Png) {
        GTEST_SKIP() << "built without libspng";
    }
    const fs::path bitmap = test::DataPath(c.bitmap);
    for (const TargetFormat to : {TargetFormat::M8, TargetFormat::Wal, TargetFormat::Png}) {
        if (!TEXELARY_HAVE_LIBSPNG && to == TargetFormat::Png) {
            continue;
        }
        const std::string extension = RowOf(to).extension;
        EXPECT_TRUE(Convert(bitmap.parent_path(), bitmap.filename().string(), SourceFormat::Bmp, to)
                        .empty());
        const auto fromBitmap = Output(bitmap.stem().string() + "." + extension);
        EXPECT_TRUE(Convert(test::DataPath("made"), c.file, c.from, to).empty());
        const std::string name = c.file;
        const auto converted = Output(name.substr(0, name.find('.')) + "." + extension);
        ASSERT_FALSE(converted.empty()) << extension;
        EXPECT_EQ(converted, fromBitmap) << extension;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Made, PaletteFiles,
    ::testing::Values(
        SameAsBitmap{"pillow.png", "bmp/made/pillow.bmp", SourceFormat::Png},
        SameAsBitmap{"pillow-rle.tga", "bmp/made/pillow.bmp", SourceFormat::Tga},
        SameAsBitmap{"pillow.pcx", "bmp/made/pillow.bmp", SourceFormat::Pcx},
        SameAsBitmap{"imagemagick.png", "made/imagemagick-png.bmp", SourceFormat::Png},
        SameAsBitmap{"imagemagick.tga", "bmp/made/imagemagick.bmp", SourceFormat::Tga},
        SameAsBitmap{"imagemagick.pcx", "bmp/made/imagemagick.bmp", SourceFormat::Pcx}));

// A true-colour picture comes down to the nearest .wal colours for .wal, and to a palette of its
// own for .m8, the same one on every level.
TEST_F(PictureRun, TrueColourTakesTheTargetsPalette) {
    if (!TEXELARY_HAVE_LIBSPNG || !TEXELARY_HAVE_LIBIMAGEQUANT) {
        GTEST_SKIP() << "built without libspng or libimagequant";
    }
    const auto decoded =
        ParsePngPicture(test::ReadAll(test::DataPath("made/imagemagick-rgb16.png")));
    ASSERT_TRUE(decoded && decoded->trueColour);

    ASSERT_TRUE(Convert(test::DataPath("made"), "imagemagick-rgb16.png", SourceFormat::Png,
                        TargetFormat::Wal)
                    .empty());
    const auto wal = ReadWalImage(Output("imagemagick-rgb16.wal"));
    const auto nearest = MapToPalette(*decoded->trueColour, WalPalette);
    ASSERT_TRUE(wal && nearest);
    EXPECT_EQ(test::PixelsOf(*wal), test::PixelsOf(*nearest));

    ASSERT_TRUE(Convert(test::DataPath("made"), "imagemagick-rgb16.png", SourceFormat::Png,
                        TargetFormat::M8)
                    .empty());
    const auto m8Bytes = Output("imagemagick-rgb16.m8");
    Palette own{};
    Palette stored{};
    const auto quantized = QuantizeToOwnPalette(*decoded->trueColour, own);
    const auto m8 = ReadM8Image(m8Bytes);
    ASSERT_TRUE(quantized && m8 && ReadM8Palette(stored, m8Bytes));
    EXPECT_EQ(stored, own);
    EXPECT_EQ(test::PixelsOf(*m8), test::PixelsOf(*quantized));
}

// Pixels less than half opaque take index 255 when asked, and only they.
TEST_F(PictureRun, TransparentPixelsTakeTheTransparentIndex) {
    settings.options.write.transparentIndex = 255;
    for (const char* file : {"pillow-rgba.png", "imagemagick-rgba-rle.tga"}) {
        const std::string name = file;
        const SourceFormat from = name.ends_with(".png") ? SourceFormat::Png : SourceFormat::Tga;
        if (!TEXELARY_HAVE_LIBSPNG && from == SourceFormat::Png) {
            continue; // built without libspng
        }
        for (const TargetFormat to : {TargetFormat::M8, TargetFormat::Wal}) {
            ASSERT_TRUE(Convert(test::DataPath("made"), file, from, to).empty());
            const auto bytes = Output(name.substr(0, name.find('.')) + "." + RowOf(to).extension);
            const auto image = to == TargetFormat::M8 ? ReadM8Image(bytes) : ReadWalImage(bytes);
            ASSERT_TRUE(image) << file;
            for (std::int32_t y = 0; y < image->height; ++y) {
                for (std::int32_t x = 0; x < image->width; ++x) {
                    const std::uint8_t pixel =
                        image->pixels[static_cast<std::size_t>(y * image->width + x)];
                    ASSERT_EQ(pixel == 255, (x + y) % 3 == 0) << file << " " << x << ", " << y;
                }
            }
        }
    }
}

struct RoundTrip {
    const char* name;
    SourceFormat from;
    TargetFormat back;
};

class MipTexturesToPng : public PictureRun, public ::testing::WithParamInterface<RoundTrip> {};

// .m8 and .wal to PNG and back give the same level 0 and palette, byte for byte; every level
// asked for is a PNG file of its own, holding the level as stored.
TEST_P(MipTexturesToPng, AndBackKeepLevelZeroAndPalette) {
    if (!TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built without libspng";
    }
    const RoundTrip& c = GetParam();
    const std::string name = c.name;
    const std::string stem = name.substr(0, name.find('.'));
    const std::string extension = RowOf(c.back).extension;
    fs::create_directories(dir.Path() / "in");
    std::vector<std::uint8_t> original;
    if (c.from == SourceFormat::Wal) {
        original = test::ReadAll(test::DataPath("wal/hopper.wal"));
    } else {
        const IndexedImage picture = test::MakePicture(37, 21, [](std::int32_t x, std::int32_t y) {
            return static_cast<std::uint8_t>(x * 11 + y * 5);
        });
        Palette palette{};
        for (std::size_t i = 0; i < palette.size(); ++i) {
            palette[i] = static_cast<std::uint8_t>(i * 7);
        }
        original = *WriteM8(picture, palette);
    }
    test::WriteAll(dir.Path() / "in" / name, original);

    settings.options.allLevels = true;
    ASSERT_TRUE(Convert(dir.Path() / "in", name, c.from, TargetFormat::Png).empty());
    const auto levels = c.from == SourceFormat::Wal ? ReadWalLevels(original).levels
                                                    : ReadM8Levels(original).levels;
    std::size_t files = 0;
    for (; fs::exists(dir.Path() / "out" / (stem + "." + std::to_string(files) + ".png"));
         ++files) {
        const auto level = ParsePngPicture(Output(stem + "." + std::to_string(files) + ".png"));
        ASSERT_TRUE(level && level->IsIndexed());
        const StoredLevel& stored = levels[files];
        ASSERT_EQ(level->indexed->width, stored.width);
        ASSERT_EQ(level->indexed->height, stored.height);
        const auto at = original.begin() + stored.offset;
        EXPECT_TRUE(std::equal(at, at + stored.width * stored.height, level->indexed->pixels.get()))
            << "level " << files;
    }
    EXPECT_EQ(files, c.from == SourceFormat::Wal ? 4U : 5U); // 37 x 21 halves to 1 x 0 at level 5
    EXPECT_FALSE(fs::exists(dir.Path() / "out" / (stem + ".png")));

    fs::rename(dir.Path() / "out" / (stem + ".0.png"), dir.Path() / "in" / (stem + ".png"));
    settings.options.allLevels = false;
    ASSERT_TRUE(Convert(dir.Path() / "in", stem + ".png", SourceFormat::Png, c.back).empty());
    const auto back = Output(stem + "." + extension);
    const std::size_t header = c.back == TargetFormat::Wal ? 100 : 1040;
    const std::size_t pixels =
        static_cast<std::size_t>(levels[0].width) * static_cast<std::size_t>(levels[0].height);
    ASSERT_GE(back.size(), header + pixels);
    EXPECT_TRUE(std::equal(back.begin() + static_cast<std::ptrdiff_t>(header),
                           back.begin() + static_cast<std::ptrdiff_t>(header + pixels),
                           original.begin() + levels[0].offset));
    if (c.back == TargetFormat::M8) {
        Palette before{};
        Palette after{};
        ASSERT_TRUE(ReadM8Palette(before, original) && ReadM8Palette(after, back));
        EXPECT_EQ(after, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Both, MipTexturesToPng,
                         ::testing::Values(RoundTrip{"wall.m8", SourceFormat::M8, TargetFormat::M8},
                                           RoundTrip{"hopper.wal", SourceFormat::Wal,
                                                     TargetFormat::Wal}));

// Damaged files of each new format are refused with their reason, and nothing is written.
TEST_F(PictureRun, DamagedFilesSayWhyAndWriteNothing) {
    struct Damaged {
        const char* fixture;
        SourceFormat from;
        std::size_t keep; // bytes kept of the fixture
        const char* reason;
    };
    fs::create_directories(dir.Path() / "in");
    for (const Damaged& c :
         {Damaged{"pillow.png", SourceFormat::Png, 60, "ends before"},
          Damaged{"pillow.tga", SourceFormat::Tga, 40, "ends before"},
          Damaged{"pillow.pcx", SourceFormat::Pcx, 140,
                  "palette at the end of the file is missing"},
          Damaged{"pillow.pcx", SourceFormat::Png, 4000, "not a file of this kind"}}) {
        if (!TEXELARY_HAVE_LIBSPNG && c.from == SourceFormat::Png) {
            continue; // built without libspng: LeftOutLibrariesTest.cpp
        }
        auto bytes = test::ReadAll(test::DataPath(std::string("made/") + c.fixture));
        bytes.resize(std::min(bytes.size(), c.keep));
        const std::string name = std::string("cut") + (RowOf(c.from).mask + 1);
        test::WriteAll(dir.Path() / "in" / name, bytes);
        const auto shown = Convert(dir.Path() / "in", name, c.from, TargetFormat::Wal);
        ASSERT_EQ(shown.size(), 1U) << c.fixture;
        EXPECT_NE(shown[0].find("Could'nt find file"), std::string::npos);
        EXPECT_NE(shown[0].find(c.reason), std::string::npos) << shown[0];
        EXPECT_FALSE(fs::exists(dir.Path() / "out" / "cut.wal"));
    }
}

} // namespace
} // namespace texelary
