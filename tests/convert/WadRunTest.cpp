// A run into a wad keeps the engines' rules for its textures: sides that are multiples of 16,
// names of at most 15 bytes and none twice, '{' textures see-through with index 255 pure blue,
// '#' written '*'; WAD2 textures take the full-bright colours only when the run allows them.

#include "RecordingFeedback.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "archives/ArchiveInput.h"
#include "colour/Wad2Palette.h"
#include "convert/ConversionRun.h"
#include "formats/mips/MipTexture.h"

#include <array>
#include <cstdlib>
#include <gtest/gtest.h>

namespace texelary {
namespace {

using Recorder = test::RecordingFeedback;

class WadRun : public ::testing::Test {
protected:
    // Converts the TGA files `names` of the scratch folder into the wad `wad` there.
    std::vector<std::string> Convert(std::vector<std::string> names, const std::string& wad,
                                     TargetFormat to, bool fullbright = false) {
        RunSettings settings;
        settings.RunFiles = std::move(names);
        settings.RunInputDir = dir.Path().string();
        settings.RunOutputDir = Wad(wad);
        settings.RunConvFrom = SourceFormat::Tga;
        settings.RunConvTo = to;
        settings.options.write.fullbright = fullbright;
        RunState state;
        PrepareProgress(state, settings.RunFiles.size());
        Recorder recorder;
        RunConversion(settings, state, recorder);
        EXPECT_EQ(state.Done, 1);
        return recorder.shown;
    }

    std::string Wad(const std::string& name) const { return (dir.Path() / name).string(); }

    // The level-0 picture and palette of the lump `name` of the wad `wad`.
    std::optional<MipTexture> LumpOf(const std::string& wad, const std::string& name,
                                     WadKind kind) const {
        const auto bytes = ReadInput(Wad(wad) + "/" + name, nullptr, kind);
        return bytes ? DecodeMipTexture(*bytes, kind) : std::nullopt;
    }

    test::ScratchDir dir;
};

std::array<std::uint8_t, 4> Opaque(std::int32_t x, std::int32_t y) {
    return {static_cast<std::uint8_t>(16 * x), static_cast<std::uint8_t>(16 * y), 90, 255};
}

TEST_F(WadRun, TexturesFollowTheEnginesRules) {
    for (const char* name : {"odd", "averyveryverylongname", "brick", "BRICK.old", "#water"}) {
        test::WriteAll(dir.Path() / (std::string(name) + ".tga"),
                       test::MakeTga32(std::string(name) == "odd" ? 24 : 16, 16, Opaque));
    }
    test::WriteAll(dir.Path() / "{fence.tga",
                   test::MakeTga32(16, 16, [](std::int32_t x, std::int32_t y) {
                       auto rgba = Opaque(x, y);
                       rgba[3] = x < 4 ? 100 : 255; // a see-through band down the left side
                       return rgba;
                   }));
    const auto shown = Convert({"odd.tga", "averyveryverylongname.tga", "brick.tga",
                                "BRICK.old.tga", "{fence.tga", "#water.tga"},
                               "t.wad", TargetFormat::Wad3);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Error writing \"" + Wad("t.wad") + "/odd" +
                             "\": a wad's textures must be a multiple of 16 pixels wide and high",
                         "Texture name cut to fit in \"" + Wad("t.wad") + "/averyveryverylo" + "\"",
                         "Error writing \"" + Wad("t.wad") + "/BRICK" +
                             "\": an earlier texture of this run has the same name in the wad"}));
    std::string reason;
    EXPECT_EQ(ArchiveEntryNames(Wad("t.wad"), reason),
              (std::vector<std::string>{"averyveryverylo", "brick", "{fence", "*water"}));
    const auto fence = LumpOf("t.wad", "{fence", WadKind::Wad3);
    ASSERT_TRUE(fence);
    for (std::int32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(fence->image->pixels[static_cast<std::size_t>(16 * 5 + x)] == 255, x < 4) << x;
    }
    EXPECT_EQ(fence->palette[765] + 0, 0);
    EXPECT_EQ(fence->palette[766] + 0, 0);
    EXPECT_EQ(fence->palette[767] + 0, 255);
}

std::array<std::uint8_t, 4> Wad2Colour(std::size_t i) {
    return {Wad2Palette[3 * i], Wad2Palette[3 * i + 1], Wad2Palette[3 * i + 2], 255};
}

// The first full-bright entry whose colour no ordinary entry (0 to 223) has.
std::size_t LoneFullBright() {
    std::size_t bright = 224;
    const auto ordinary = [](std::size_t i) {
        for (std::size_t k = 0; k < 224; ++k) {
            if (Wad2Colour(k) == Wad2Colour(i)) {
                return true;
            }
        }
        return false;
    };
    while (bright < 256 && ordinary(bright)) {
        ++bright;
    }
    return bright;
}

// The ordinary entry nearest to entry `i`: least sum of absolute differences, the lower index
// winning a tie.
std::size_t NearestOrdinary(std::size_t i) {
    const auto distance = [&](std::size_t k) {
        int sum = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            sum += std::abs(Wad2Colour(k)[c] - Wad2Colour(i)[c]);
        }
        return sum;
    };
    std::size_t nearest = 0;
    for (std::size_t k = 1; k < 224; ++k) {
        if (distance(k) < distance(nearest)) {
            nearest = k;
        }
    }
    return nearest;
}

TEST_F(WadRun, Wad2TakesFullBrightColoursOnlyWhenAskedTo) {
    const std::size_t bright = LoneFullBright();
    ASSERT_LT(bright, 256u);
    test::WriteAll(
        dir.Path() / "lamp.tga",
        test::MakeTga32(16, 16, [&](std::int32_t, std::int32_t) { return Wad2Colour(bright); }));
    for (const bool fullbright : {false, true}) {
        const std::string wad = fullbright ? "bright.wad" : "plain.wad";
        EXPECT_TRUE(Convert({"lamp.tga"}, wad, TargetFormat::Wad2, fullbright).empty());
        const auto lamp = LumpOf(wad, "lamp", WadKind::Wad2);
        ASSERT_TRUE(lamp);
        const std::uint8_t index = lamp->image->pixels[0];
        EXPECT_EQ(index, fullbright ? bright : NearestOrdinary(bright)) << fullbright;
        EXPECT_EQ(index < 224, !fullbright) << int{index};
    }
}

} // namespace
} // namespace texelary
