// The built image-format plugin, loaded by Qt as any program would load it: built once against
// Qt 5 and once against Qt 6, each run pointed only at its own plugin folder.

#include "MipBytes.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "base/ByteOrder.h"
#include "formats/Formats.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "thumbnail/Thumbnail.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QStringList>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<std::uint8_t, 4>;

Bytes M8File() {
    const auto file = WriteM8(Patterned(8, 4), TestPalette());
    EXPECT_TRUE(file);
    return file.value_or(Bytes{});
}

QByteArray ToQt(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

// Reads image `level` of `bytes` through Qt as `format` (empty: Qt finds the format itself).
struct QtRead {
    QByteArray data;
    QBuffer buffer;
    QImageReader reader;
    QtRead(const Bytes& bytes, const char* format)
        : data(ToQt(bytes))
        , buffer(&data) {
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        if (format[0] != '\0') {
            reader.setFormat(format);
        }
    }
};

Rgba PixelOf(const QImage& image, int x, int y) {
    const std::uint8_t* p = image.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// Every pixel of `image` against the core's reading of the same level, as RGBA.
void ExpectSameAsCore(const QImage& image, const DecodedTexture& texture, std::size_t level) {
    ASSERT_EQ(image.format(), QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const auto i = static_cast<std::size_t>(y * image.width() + x);
            Rgba expected{};
            if (texture.trueColour) {
                const RgbaImage& picture =
                    level == 0 ? *texture.trueColour : *texture.trueColourLevels[level - 1];
                std::copy_n(picture.pixels.data() + 4 * i, 4, expected.begin());
            } else {
                const IndexedImage& picture =
                    level == 0 ? *texture.indexed : *texture.levels[level - 1];
                const std::size_t index = picture.pixels[i];
                expected = {texture.palette[3 * index], texture.palette[3 * index + 1],
                            texture.palette[3 * index + 2], texture.paletteAlpha[index]};
            }
            ASSERT_EQ(PixelOf(image, x, y), expected)
                << "level " << level << " at " << x << "," << y;
        }
    }
}

TEST(TextureImagePlugin, QtListsTheFourFormats) {
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const char* name : {"wal", "m8", "m32", "swl"}) {
        EXPECT_TRUE(formats.contains(name)) << name;
    }
}

struct SampleCase {
    const char* file; // under the test data, or "" for the .m8 made here
    const char* format;
    SourceFormat source;
    std::vector<QSize> levels;
};

TEST(TextureImagePlugin, EveryLevelReadsAsTheCoreReadsIt) {
    const SampleCase cases[] = {
        {"wal/hopper.wal", "wal", SourceFormat::Wal, {{128, 128}, {64, 64}, {32, 32}, {16, 16}}},
        {"family/dk_opaque.wal", "wal", SourceFormat::Wal, {{2, 2}, {1, 1}}},
        {"family/test.m32", "m32", SourceFormat::M32, {{2, 2}, {1, 1}}},
        {"family/__tb_empty.m32",
         "m32",
         SourceFormat::M32,
         {{32, 32}, {16, 16}, {8, 8}, {4, 4}, {2, 2}, {1, 1}}},
        {"family/swl_levels16.swl", "swl", SourceFormat::Swl, {{16, 16}, {8, 8}, {4, 4}, {2, 2}}},
        {"family/swl_thin.swl", "swl", SourceFormat::Swl, {{8, 2}, {4, 1}}},
        {"", "m8", SourceFormat::M8, {{8, 4}, {4, 2}, {2, 1}}},
    };
    for (const SampleCase& c : cases) {
        SCOPED_TRACE(c.file[0] != '\0' ? c.file : c.format);
        const Bytes bytes = c.file[0] != '\0' ? ReadAll(DataPath(c.file)) : M8File();
        const auto texture = RowOf(c.source).decode(bytes, nullptr, LevelsWanted::All);
        ASSERT_TRUE(texture);
        QtRead qt(bytes, c.format);
        ASSERT_TRUE(qt.reader.canRead());
        EXPECT_EQ(qt.reader.format(), QByteArray(c.format));
        ASSERT_EQ(qt.reader.imageCount(), static_cast<int>(c.levels.size()));
        for (std::size_t level = 0; level < c.levels.size(); ++level) {
            ASSERT_TRUE(qt.reader.jumpToImage(static_cast<int>(level)));
            EXPECT_EQ(qt.reader.currentImageNumber(), static_cast<int>(level));
            EXPECT_EQ(qt.reader.size(), c.levels[level]);
            QImage image;
            ASSERT_TRUE(qt.reader.read(&image)) << qt.reader.errorString().toStdString();
            ASSERT_EQ(image.size(), c.levels[level]);
            ExpectSameAsCore(image, *texture, level);
        }
        EXPECT_FALSE(qt.reader.jumpToNextImage());
        EXPECT_FALSE(qt.reader.jumpToImage(static_cast<int>(c.levels.size())));
    }
}

TEST(TextureImagePlugin, AlphaIsTheM32sOwnAndIndex255OfVersionThreeWal) {
    QtRead m32(ReadAll(DataPath("family/test.m32")), "m32");
    const QImage alpha = m32.reader.read();
    ASSERT_EQ(alpha.size(), QSize(2, 2));
    EXPECT_EQ(PixelOf(alpha, 1, 0)[3], 180);
    EXPECT_EQ(PixelOf(alpha, 0, 1)[3], 90);
    EXPECT_EQ(PixelOf(alpha, 1, 1)[3], 0);

    const auto wal3 = WriteWal3(MakePicture(4, 4,
                                            [](std::int32_t x, std::int32_t) {
                                                return static_cast<std::uint8_t>(x == 3 ? 255 : 2);
                                            }),
                                TestPalette());
    ASSERT_TRUE(wal3);
    QtRead hole(*wal3, "wal");
    const QImage holes = hole.reader.read();
    ASSERT_EQ(holes.size(), QSize(4, 4));
    EXPECT_EQ(PixelOf(holes, 0, 0), (Rgba{2, 253, 14, 255}));
    EXPECT_EQ(PixelOf(holes, 3, 0)[3], 0);
}

TEST(TextureImagePlugin, ContentNamesOnlyTheFormatsThatStoreAVersion) {
    struct ContentCase {
        Bytes bytes;
        QByteArray expected;
    };
    const ContentCase cases[] = {
        {M8File(), "m8"},
        {ReadAll(DataPath("family/test.m32")), "m32"},
        {ReadAll(DataPath("family/dk_opaque.wal")), "wal"},
        // A classic .wal or a .swl begins with its name: without its file name it is not claimed.
        {ReadAll(DataPath("wal/hopper.wal")), ""},
        {ReadAll(DataPath("family/swl_levels16.swl")), ""},
        {ReadAll(DataPath("bmp/g/pal8.bmp")), "bmp"},
    };
    for (const ContentCase& c : cases) {
        QByteArray data = ToQt(c.bytes);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        EXPECT_EQ(QImageReader::imageFormat(&buffer), c.expected);
    }
}

TEST(TextureImagePlugin, SizeComesFromTheHeaderWithoutThePixels) {
    Bytes cut = ReadAll(DataPath("wal/hopper.wal"));
    cut.resize(1000);
    QtRead qt(cut, "wal");
    EXPECT_EQ(qt.reader.size(), QSize(128, 128));
    QImage image;
    EXPECT_FALSE(qt.reader.read(&image));
}

TEST(TextureImagePlugin, DamagedOrHostileFilesAreRefused) {
    Bytes absurd = M8File();
    StoreLE32(absurd.data() + 36, std::int32_t{0x7fffffff});
    Bytes cutM32 = ReadAll(DataPath("family/test.m32"));
    cutM32.resize(972);
    const auto wide = WriteM8(Patterned(ThumbnailLayout::kMaxSide + 1, 1), TestPalette());
    ASSERT_TRUE(wide);
    Bytes huge = M8File();
    huge.resize(static_cast<std::size_t>(ThumbnailLayout::kMaxFileBytes) + 1);
    struct HostileCase {
        const char* what;
        Bytes bytes;
        const char* format;
    };
    const HostileCase cases[] = {
        {"absurd width", absurd, "m8"},
        {"cut inside level 0", cutM32, "m32"},
        {"header cut", Bytes(50, 1), "swl"},
        {"past the size bound", huge, "m8"},
        {"wider than any engine draws", *wide, "m8"},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        QtRead qt(c.bytes, c.format);
        QImage image;
        EXPECT_FALSE(qt.reader.read(&image));
        EXPECT_TRUE(image.isNull());
    }
}

} // namespace
} // namespace texelary::test

int main(int argc, char** argv) {
    // Only the plugin just built: neither an installed copy nor the system's other plugins.
    QCoreApplication::setLibraryPaths(QStringList{QStringLiteral(TEXELARY_PLUGIN_DIR)});
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
