// Looking inside texture files: the departures from each format's rules that --info reports.

#include "formats/TextureInfo.h"

#include "BmpBuilder.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "colour/WalPalette.h"
#include "formats/Formats.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& bytes, std::size_t offset, std::int32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes.at(offset + i) =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
}

const IndexedImage kPicture = test::MakePicture(8, 4, [](std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(x % 3 + 10 * (y % 2));
});

Bytes M8(MipFilter mips = MipFilter::Point) {
    return *WriteM8(kPicture, Palette{}, {mips, std::nullopt});
}
Bytes Wal() {
    return *WriteWal(kPicture, WalPalette);
}

// A file with one change made to it.
template <typename Change> Bytes Changed(Bytes bytes, Change change) {
    change(bytes);
    return bytes;
}

struct InfoCase {
    const char* what;
    SourceFormat kind;
    Bytes file;
    std::vector<std::string> ruleBreaks;
};

TEST(TextureInfo, ReportsWhereAFileStraysFromItsFormatsRules) {
    const InfoCase cases[] = {
        {"m8 as written", SourceFormat::M8, M8(), {}},
        {"m8 averaged (a side kept at 1)", SourceFormat::M8, M8(MipFilter::Box), {}},
        {"wal as written", SourceFormat::Wal, Wal(), {}},
        {"bitmap", SourceFormat::Bmp, test::MakeBmp8(2, 2, {0, 1, 2, 1}), {}},
        {"m8 version 3",
         SourceFormat::M8,
         Changed(M8(), [](Bytes& b) { Put32(b, 0, 3); }),
         {"version 3, not 2"}},
        {"m8 level 1 not half",
         SourceFormat::M8,
         Changed(M8(), [](Bytes& b) { Put32(b, 36 + 4, 3); }),
         {"level 1 is 3 x 2, not half of level 0 (4 x 2)",
          "level 2 starts at 1080, not right after the one before (1078)",
          "the file goes on 2 bytes past its last level"}},
        {"m8 empty level with an offset",
         SourceFormat::M8,
         Changed(M8(), [](Bytes& b) { Put32(b, 164 + 4 * 5, 1083); }),
         {"level 5 has no pixels but offset 1083"}},
        {"wal level 2 elsewhere",
         SourceFormat::Wal,
         Changed(Wal(), [](Bytes& b) { Put32(b, 48, 100); }),
         {"level 2 starts at 100, not right after the one before (140)"}},
        {"wal with bytes left over",
         SourceFormat::Wal,
         Changed(Wal(), [](Bytes& b) { b.resize(b.size() + 3); }),
         {"the file goes on 3 bytes past its last level"}},
        {"24-bit bitmap", SourceFormat::Bmp, test::MakeBmp24(2, 2), {"not a 256-colour bitmap"}},
    };
    for (const InfoCase& c : cases) {
        const auto info = InspectTexture(c.file, c.kind);
        ASSERT_TRUE(info) << c.what;
        EXPECT_EQ(info->ruleBreaks, c.ruleBreaks) << c.what;
    }
}

TEST(TextureInfo, EverydayPicturesHaveOneLevelAndIndicesOnlyWithAPalette) {
    const struct {
        const char* name;
        SourceFormat kind;
        std::optional<std::size_t> distinctIndices;
    } cases[] = {
        {"made/pillow.png", SourceFormat::Png, 24},
        {"made/imagemagick-rgb16.png", SourceFormat::Png, std::nullopt},
        {"made/pillow.pcx", SourceFormat::Pcx, 24},
        {"made/pillow-rgb.tga", SourceFormat::Tga, std::nullopt},
    };
    for (const auto& c : cases) {
        if (!TEXELARY_HAVE_LIBSPNG && c.kind == SourceFormat::Png) {
            continue; // LeftOutLibrariesTest.cpp
        }
        const auto info = InspectTexture(test::ReadAll(test::DataPath(c.name)), c.kind);
        ASSERT_TRUE(info) << c.name;
        EXPECT_EQ(info->levels.size(), 1u) << c.name;
        EXPECT_EQ(info->width, 16) << c.name;
        EXPECT_EQ(info->height, 8) << c.name;
        EXPECT_EQ(info->distinctIndices, c.distinctIndices) << c.name;
        EXPECT_FALSE(info->fields) << c.name;
    }
}

TEST(TextureInfo, KindComesFromTheExtensionInAnyCase) {
    EXPECT_EQ(SourceFormatOfPath("dir.x/WALL.M8"), SourceFormat::M8);
    EXPECT_EQ(SourceFormatOfPath("a.Wal"), SourceFormat::Wal);
    EXPECT_EQ(SourceFormatOfPath("a.bmp"), SourceFormat::Bmp);
    EXPECT_EQ(SourceFormatOfPath("a.png.txt"), std::nullopt);
    EXPECT_EQ(SourceFormatOfPath("m8"), std::nullopt);
}

} // namespace
} // namespace texelary
