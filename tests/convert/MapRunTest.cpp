// Runs into compiled maps: pictures go over the map's textures of the same names, and every other
// byte of the map stays; a run that cannot put every texture in leaves the map as it was.

#include "BmpBuilder.h"
#include "RecordingFeedback.h"
#include "TestFiles.h"
#include "archives/ArchiveInput.h"
#include "base/ByteOrder.h"
#include "colour/Wad2Palette.h"
#include "convert/ConversionRun.h"
#include "formats/mips/MipTexture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Where a map's textures keep their pixels, read in a few lines without the program's reader:
// the byte ranges of every level, and of a version-30 texture's palette.
struct PixelRange {
    std::size_t start;
    std::size_t end;
    bool operator==(const PixelRange&) const = default;
};

std::vector<PixelRange> PixelRanges(const Bytes& map, bool palettes) {
    const std::size_t lump = LoadLE32(map.data() + 4 + 2 * 8);
    const std::size_t count = LoadLE32(map.data() + lump);
    std::vector<PixelRange> ranges;
    for (std::size_t i = 0; i < count; ++i) {
        const auto offset = static_cast<std::int32_t>(LoadLE32(map.data() + lump + 4 + 4 * i));
        if (offset < 0) {
            continue;
        }
        const std::size_t texture = lump + static_cast<std::size_t>(offset);
        const std::size_t width = LoadLE32(map.data() + texture + 16);
        const std::size_t height = LoadLE32(map.data() + texture + 20);
        std::size_t end = 0;
        for (std::size_t level = 0; level < 4; ++level) {
            const std::size_t at = LoadLE32(map.data() + texture + 24 + 4 * level);
            if (at == 0) { // no pixels in the map
                break;
            }
            end = texture + at + (width >> level) * (height >> level);
            ranges.push_back({texture + at, end});
        }
        if (palettes && end != 0) {
            ranges.push_back({end, end + 2 + 768});
        }
    }
    return ranges;
}

class MapRun : public ::testing::Test {
protected:
    // Converts the bitmaps `names` of the folder "pictures" into the map, as --to `to` does;
    // the boxes shown.
    std::vector<std::string> Run(const fs::path& map, std::vector<std::string> names,
                                 TargetFormat to) {
        RunSettings settings;
        settings.RunFiles = std::move(names);
        settings.RunInputDir = Pictures().string();
        settings.RunOutputDir = map.string();
        settings.RunConvFrom = SourceFormat::Bmp;
        settings.RunConvTo = to;
        RunState state;
        PrepareProgress(state, settings.RunFiles.size());
        test::RecordingFeedback boxes;
        RunConversion(settings, state, boxes);
        return boxes.shown;
    }

    fs::path Pictures() const {
        fs::create_directories(dir.Path() / "pictures");
        return dir.Path() / "pictures";
    }

    // A copy of a map of tests/data/maps to write into.
    fs::path Copy(const char* name) const {
        const fs::path copy = dir.Path() / name;
        fs::copy_file(test::DataPath(std::string("maps/") + name), copy);
        // A checkout may hold the data read-only; the copy is to be written.
        fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
        return copy;
    }

    // A bitmap of `width` x `height` on the WAD2 palette, of PicturePixels: "pictures/name.bmp".
    void Picture(const std::string& name, std::int32_t width, std::int32_t height) const {
        test::WriteAll(
            Pictures() / (name + ".bmp"),
            test::EncodeBmp8(width, height, PicturePixels(width, height).data(), Wad2Palette));
    }

    // Top row first, no two neighbours alike, none of the full-bright colours.
    static Bytes PicturePixels(std::int32_t width, std::int32_t height) {
        Bytes pixels(static_cast<std::size_t>(width * height));
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>((i * 7 + i / 64 * 3) % 224);
        }
        return pixels;
    }

    test::ScratchDir dir;
};

struct Replacement {
    const char* map;
    std::vector<std::string> textures; // each as big as the map's of that name
    std::int32_t width;
    std::int32_t height;
    TargetFormat to;
};

TEST_F(MapRun, PicturesGoOverTheirNamesakesAndNothingElseChanges) {
    const Replacement cases[] = {
        {"q1_detail_fence2.bsp", {"orangestuff8", "SKIP"}, 64, 64, TargetFormat::Wad2},
        {"example-bsp2.bsp", {"16_blood_3"}, 16, 16, TargetFormat::Wad2},
        {"hl.bsp", {"embedded"}, 32, 32, TargetFormat::Wad3},
    };
    for (const Replacement& c : cases) {
        SCOPED_TRACE(c.map);
        const fs::path map = Copy(c.map);
        const Bytes before = test::ReadAll(map);
        std::vector<std::string> files;
        for (const std::string& name : c.textures) {
            Picture(name, c.width, c.height);
            files.push_back(name + ".bmp");
        }
        EXPECT_TRUE(Run(map, files, c.to).empty());

        const Bytes after = test::ReadAll(map);
        ASSERT_EQ(after.size(), before.size());
        // It still reads as a map, its textures where they were.
        EXPECT_EQ(PixelRanges(after, c.to == TargetFormat::Wad3),
                  PixelRanges(before, c.to == TargetFormat::Wad3));
        Bytes outside = after;
        Bytes outsideBefore = before;
        for (const PixelRange& range : PixelRanges(before, c.to == TargetFormat::Wad3)) {
            std::fill_n(outside.data() + range.start, range.end - range.start, 0);
            std::fill_n(outsideBefore.data() + range.start, range.end - range.start, 0);
        }
        EXPECT_EQ(outside, outsideBefore);
        // The map, read again, gives the picture's colours.
        const Bytes pixels = PicturePixels(c.width, c.height);
        ReadError error = ReadError::None;
        const auto lump = ReadInput(map.string() + "/" + c.textures.front(), &error);
        ASSERT_TRUE(lump) << DescribeReadError(error);
        const auto texture = DecodeMipTexture(*lump, *RowOf(c.to).wad);
        ASSERT_TRUE(texture);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::size_t stored = texture->image->pixels[i];
            for (std::size_t k = 0; k < 3; ++k) {
                ASSERT_EQ(texture->palette[stored * 3 + k], Wad2Palette[pixels[i] * 3u + k]) << i;
            }
        }
    }
}

struct Refused {
    const char* map;
    std::vector<std::string> pictures; // of 64 x 64, but "small" is 32 x 32
    TargetFormat to;
    std::string box;
};

TEST_F(MapRun, AMapThatCannotTakeEveryTextureIsLeftAsItWas) {
    Picture("orangestuff8", 64, 64);
    Picture("small", 32, 32);
    fs::copy_file(Pictures() / "small.bmp", Pictures() / "skip.bmp");
    Picture("EXTERNAL", 32, 32);
    const Refused cases[] = {
        {"q1_detail_fence2.bsp",
         {"orangestuff8.bmp", "skip.bmp"},
         TargetFormat::Wad2,
         "Error writing \"MAP/skip\": the map's texture is 64 x 64 and this one 32 x 32"},
        {"q1_detail_fence2.bsp",
         {"small.bmp"},
         TargetFormat::Wad2,
         "Error writing \"MAP/small\": the map has no texture named \"small\""},
        {"hl.bsp",
         {"EXTERNAL.bmp"},
         TargetFormat::Wad3,
         "Error writing \"MAP/EXTERNAL\": the map holds no pixels for the texture (it lives in a "
         "wad outside the map)"},
        {"hl.bsp",
         {"small.bmp"},
         TargetFormat::Wad2,
         "Error writing \"MAP\": a version-30 map, whose textures are WAD3 textures"},
        {"example-quake2.bsp",
         {"small.bmp"},
         TargetFormat::Wad2,
         "Error writing \"MAP\": the map names its textures rather than holding them "
         "(--textures-of takes them from the game's folder)"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.box);
        const fs::path map = Copy(c.map);
        const Bytes before = test::ReadAll(map);
        std::vector<std::string> boxes = Run(map, c.pictures, c.to);
        ASSERT_FALSE(boxes.empty());
        const std::string path = map.string();
        for (std::string& box : boxes) {
            for (auto at = box.find(path); at != std::string::npos; at = box.find(path)) {
                box.replace(at, path.size(), "MAP");
            }
        }
        EXPECT_EQ(boxes.front(), c.box);
        if (c.pictures.size() > 1) { // the one that went in is not kept either
            EXPECT_EQ(
                boxes.back(),
                "Error writing \"MAP\": 1 texture could not go in: the map is left as it was");
        }
        EXPECT_EQ(test::ReadAll(map), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
        fs::remove(map);
    }
}

} // namespace
} // namespace texelary
