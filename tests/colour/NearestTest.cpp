// Every fast nearest-colour search against the plain search of Nearest.h, over palettes full of
// ties and repeats, with and without an entry left out.

#include "colour/Nearest.h"

#include "colour/BoxFilter.h"
#include "colour/NearestColour.h"
#include "colour/WalPalette.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace texelary {
namespace {

using Indices = std::vector<std::uint8_t>;

// Where a search of part of the palette would go wrong first: both corners of every 8-wide step
// of each channel (0, 7, 8, 15, ..., 255), 262,144 colours; a slab of the cube (all reds, 16
// greens, 16 blues) of whole 8 x 8 x 8 cells, which the kept table fills at once; and last the
// palette's own entries in order, which NearestBySquares::Canonical answers.
RgbaImage TestColours(const Palette& palette) {
    RgbaImage colours{256, 1281, {}}; // 1281 rows of 256: the remap takes a row at a time
    const auto add = [&](std::size_t r, std::size_t g, std::size_t b) {
        colours.pixels.insert(colours.pixels.end(),
                              {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                               static_cast<std::uint8_t>(b), 255});
    };
    const auto edge = [](std::size_t step) { return step / 2 * 8 + step % 2 * 7; };
    for (std::size_t i = 0; i < 512 * 512; ++i) {
        add(edge(i & 63), edge((i >> 6) & 63), edge(i >> 12));
    }
    for (std::size_t i = 0; i < 256 * 256; ++i) {
        add(i & 255, 120 + (i >> 8) % 16, i >> 12);
    }
    for (std::size_t t = 0; t < 256; ++t) {
        add(palette[3 * t], palette[3 * t + 1], palette[3 * t + 2]);
    }
    return colours;
}

// MapToPalette or MapToNewPalette, `excluded` left out as the (opaque colours') transparent index.
template <auto map> Indices Mapped(const Palette& palette, int excluded, const RgbaImage& colours) {
    TrueColourOptions options;
    if (excluded != NoEntry) {
        options.transparentIndex = static_cast<std::uint8_t>(excluded);
    }
    const auto mapped = map(colours, palette, options);
    return mapped ? Indices(mapped->pixels.get(), mapped->pixels.get() + colours.pixels.size() / 4)
                  : Indices{};
}

// MapToPalette's second picture of the palette: the first is searched colour by colour, the
// second goes through the kept table.
Indices MappedAgain(const Palette& palette, int excluded, const RgbaImage& colours) {
    Mapped<&MapToPalette>(palette, excluded, colours);
    return Mapped<&MapToPalette>(palette, excluded, colours);
}

// The colours 256 at a time, each lot a source palette remapped onto `palette`.
Indices Remap(const Palette& palette, int, const RgbaImage& colours) {
    Indices found;
    for (std::size_t start = 0; start < colours.pixels.size(); start += 4 * 256) {
        Palette source{};
        for (std::size_t i = 0; i < 3 * 256; ++i) {
            source[i] = colours.pixels[start + i / 3 * 4 + i % 3];
        }
        const RemapTable table = BuildRemapTable(palette, source);
        found.insert(found.end(), table.begin(), table.end());
    }
    return found;
}

Indices Squares(const Palette& palette, int, const RgbaImage& colours) {
    NearestBySquares& nearest = NearestBySquares::For(palette);
    Indices found;
    for (std::size_t i = 0; i + 256 < colours.pixels.size() / 4; ++i) {
        const std::uint8_t* p = &colours.pixels[4 * i];
        found.push_back(nearest.Find(p[0], p[1], p[2]));
    }
    for (std::size_t t = 0; t < 256; ++t) {
        found.push_back(nearest.Canonical(static_cast<std::uint8_t>(t)));
    }
    return found;
}

struct Search {
    const char* name;
    Measure measure;
    bool leavesOut; // can leave an entry out
    Indices (*run)(const Palette&, int, const RgbaImage&);
};

const Search Searches[] = {
    {"first picture of a palette", Measure::AbsoluteDifferences, true, &Mapped<&MapToPalette>},
    {"kept table", Measure::AbsoluteDifferences, true, &MappedAgain},
    {"palette met once", Measure::AbsoluteDifferences, true, &Mapped<&MapToNewPalette>},
    {"remap", Measure::AbsoluteDifferences, false, &Remap},
    {"squares", Measure::Squares, false, &Squares},
};

struct PaletteCase {
    const char* name;
    Palette palette;
    int excluded;
};

std::vector<PaletteCase> PaletteCases() {
    Palette coarse{}; // five levels a channel: ties everywhere, and most colours repeat
    for (std::size_t i = 0; i < coarse.size(); ++i) {
        coarse[i] = static_cast<std::uint8_t>((i * 37 % 5) * 63);
    }
    Palette random{};
    std::mt19937 generator(3);
    std::generate(random.begin(), random.end(),
                  [&] { return static_cast<std::uint8_t>(generator()); });
    return {{"WalPalette", WalPalette, NoEntry},
            {"WalPalette without 255", WalPalette, 255},
            {"coarse", coarse, NoEntry},
            // Entry 0 is the first of its colour: without it, a later repeat must win its ties.
            {"coarse without 0", coarse, 0},
            {"random", random, NoEntry}};
}

TEST(Nearest, EverySearchGivesWhatThePlainSearchGives) {
    for (const PaletteCase& c : PaletteCases()) {
        const RgbaImage colours = TestColours(c.palette);
        for (const Measure measure : {Measure::AbsoluteDifferences, Measure::Squares}) {
            Indices expected;
            for (std::size_t i = 0; i < colours.pixels.size(); i += 4) {
                const std::uint8_t* p = &colours.pixels[i];
                expected.push_back(NearestEntry(c.palette, p[0], p[1], p[2], measure, c.excluded));
            }
            for (const Search& search : Searches) {
                if (search.measure != measure || (c.excluded != NoEntry && !search.leavesOut)) {
                    continue;
                }
                const Indices found = search.run(c.palette, c.excluded, colours);
                ASSERT_EQ(found.size(), expected.size()) << search.name << ", " << c.name;
                const auto [wrong, want] =
                    std::mismatch(found.begin(), found.end(), expected.begin());
                EXPECT_TRUE(wrong == found.end())
                    << search.name << ", " << c.name << ": colour " << (wrong - found.begin())
                    << " got " << int{*wrong} << ", nearest is " << int{*want};
            }
        }
    }
}

} // namespace
} // namespace texelary
