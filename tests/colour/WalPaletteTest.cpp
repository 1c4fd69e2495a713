#include "colour/WalPalette.h"

#include "TestFiles.h"
#include "TestImages.h"
#include "colour/Nearest.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::DataPath;

struct Rgb {
    int red, green, blue;
};

Rgb EntryOf(const Palette& palette, int index) {
    const auto i = static_cast<std::size_t>(index) * 3;
    return {palette[i], palette[i + 1], palette[i + 2]};
}

void SetEntry(Palette& palette, int index, Rgb colour) {
    const auto i = static_cast<std::size_t>(index) * 3;
    palette[i] = static_cast<std::uint8_t>(colour.red);
    palette[i + 1] = static_cast<std::uint8_t>(colour.green);
    palette[i + 2] = static_cast<std::uint8_t>(colour.blue);
}

Palette Filled(Rgb colour) {
    Palette palette{};
    for (int i = 0; i < 256; ++i) {
        SetEntry(palette, i, colour);
    }
    return palette;
}

RemapTable ReferenceTable(const Palette& target, const Palette& source) {
    RemapTable table{};
    for (std::size_t s = 0; s < 256; ++s) {
        table[s] = NearestEntry(target, source[3 * s], source[3 * s + 1], source[3 * s + 2],
                                Measure::AbsoluteDifferences);
    }
    return table;
}

// A one-row picture holding every index once.
IndexedImage AllIndices() {
    IndexedImage image;
    image.width = 256;
    image.height = 1;
    EXPECT_TRUE(AllocatePixels(image, 256, 1));
    for (int i = 0; i < 256; ++i) {
        image.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    return image;
}

Palette RandomPalette(std::mt19937& random) {
    Palette palette{};
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : palette) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    return palette;
}

// The repeated colours of the palette: entry -> the earlier entry with the same colour.
const std::map<int, int> kRepeats = {{94, 29}, {95, 31}, {101, 26}, {102, 28}, {103, 31},
                                     {127, 0}, {143, 0}, {175, 0},  {191, 142}};

TEST(WalPalette, EqualsTheReferenceTable) {
    // wal-palette.txt lists the game's palette one entry a line: index, red, green, blue.
    std::ifstream in(DataPath("wal/wal-palette.txt"));
    ASSERT_TRUE(in) << "missing test data wal/wal-palette.txt";
    Palette expected{};
    int entries = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        int index = -1;
        Rgb colour{};
        ASSERT_TRUE(fields >> index >> colour.red >> colour.green >> colour.blue) << line;
        ASSERT_EQ(index, entries) << "entries out of order";
        SetEntry(expected, index, colour);
        ++entries;
    }
    ASSERT_EQ(entries, 256);
    EXPECT_EQ(WalPalette, expected);
}

TEST(WalPalette, HoldsTheKnownEntries) {
    const std::map<int, Rgb> known = {
        {0, {0, 0, 0}},         {1, {15, 15, 15}},    {2, {31, 31, 31}},    {3, {47, 47, 47}},
        {15, {235, 235, 235}},  {16, {99, 75, 35}},   {48, {143, 119, 83}}, {55, {111, 83, 39}},
        {56, {235, 159, 39}},   {127, {0, 0, 0}},     {128, {139, 87, 87}}, {208, {0, 255, 0}},
        {215, {255, 255, 255}}, {240, {239, 0, 0}},   {241, {55, 55, 255}}, {242, {255, 0, 0}},
        {243, {0, 0, 255}},     {255, {159, 91, 83}},
    };
    for (const auto& [index, colour] : known) {
        const Rgb actual = EntryOf(WalPalette, index);
        EXPECT_EQ(actual.red, colour.red) << "entry " << index;
        EXPECT_EQ(actual.green, colour.green) << "entry " << index;
        EXPECT_EQ(actual.blue, colour.blue) << "entry " << index;
    }
}

TEST(WalPalette, RepeatsExactlyNineColours) {
    std::map<int, int> repeats;
    for (int i = 0; i < 256; ++i) {
        for (int j = 0; j < i; ++j) {
            const Rgb a = EntryOf(WalPalette, i);
            const Rgb b = EntryOf(WalPalette, j);
            if (a.red == b.red && a.green == b.green && a.blue == b.blue) {
                repeats[i] = j;
                break;
            }
        }
    }
    EXPECT_EQ(repeats, kRepeats);
}

TEST(WalRemap, WhiteAndBlackGoToTheirFirstEntries) {
    Palette source{};
    SetEntry(source, 0, {255, 255, 255});
    SetEntry(source, 1, {0, 0, 0});
    IndexedImage image;
    image.width = 2;
    image.height = 1;
    ASSERT_TRUE(AllocatePixels(image, 2, 1));
    image.pixels[0] = 0;
    image.pixels[1] = 1;
    RemapToPalette(test::PixelSpan(image), WalPalette, source);
    EXPECT_EQ(test::PixelsOf(image), (std::vector<std::uint8_t>{215, 0}));
}

TEST(WalRemap, ATieGoesToTheLowerIndexAndOnlyANearerColourWinsLater) {
    // Entries 3 and 7 lie at distance 100 from (50, 50, 0); everything else is far away.
    Palette target = Filled({200, 200, 200});
    SetEntry(target, 3, {100, 0, 0});
    SetEntry(target, 7, {0, 100, 0});
    Palette source{};
    SetEntry(source, 0, {50, 50, 0});
    EXPECT_EQ(BuildRemapTable(target, source)[0], 3);

    // The same with the two colours swapped: it is the index that decides, not the colour.
    SetEntry(target, 3, {0, 100, 0});
    SetEntry(target, 7, {100, 0, 0});
    EXPECT_EQ(BuildRemapTable(target, source)[0], 3);

    // A strictly nearer later entry does win.
    SetEntry(target, 9, {50, 50, 1});
    EXPECT_EQ(BuildRemapTable(target, source)[0], 9);

    // With every target colour at the same distance, entry 0 wins.
    EXPECT_EQ(BuildRemapTable(Filled({10, 10, 10}), source)[0], 0);
}

TEST(WalRemap, WalPaletteOntoItselfKeepsAllButTheRepeats) {
    IndexedImage image = AllIndices();
    RemapToPalette(test::PixelSpan(image), WalPalette, WalPalette);
    for (int i = 0; i < 256; ++i) {
        const auto repeat = kRepeats.find(i);
        const int expected = repeat == kRepeats.end() ? i : repeat->second;
        EXPECT_EQ(image.pixels[static_cast<std::size_t>(i)], expected) << "index " << i;
    }
}

TEST(WalRemap, EveryPixelOfALongRunGoesThroughTheTable) {
    // Runs that the wide steps cover whole, and ones that leave a short tail, into another buffer
    // and in place.
    std::mt19937 random(5);
    const Palette source = RandomPalette(random);
    const RemapTable table = ReferenceTable(WalPalette, source);
    std::uniform_int_distribution<int> index(0, 255);
    for (const std::size_t count : {std::size_t{7}, std::size_t{128}, std::size_t{1001}}) {
        std::vector<std::uint8_t> pixels(count);
        for (auto& pixel : pixels) {
            pixel = static_cast<std::uint8_t>(index(random));
        }
        std::vector<std::uint8_t> expected(count);
        std::transform(pixels.begin(), pixels.end(), expected.begin(),
                       [&](std::uint8_t pixel) { return table[pixel]; });
        std::vector<std::uint8_t> out(count);
        RemapToPalette(std::span<const std::uint8_t>(pixels), out.data(), WalPalette, source);
        EXPECT_EQ(out, expected) << count << " pixels";
        RemapToPalette(std::span<std::uint8_t>(pixels), WalPalette, source);
        EXPECT_EQ(pixels, expected) << count << " pixels, in place";
    }
}

TEST(WalRemap, EntriesNoPixelUsesDoNotMatter) {
    std::mt19937 random(7);
    const Palette first = RandomPalette(random);
    Palette second = RandomPalette(random);
    // Only entries 5 and 200 are used; they agree, everything else differs.
    for (int used : {5, 200}) {
        SetEntry(second, used, EntryOf(first, used));
    }
    IndexedImage a;
    a.width = 3;
    a.height = 2;
    ASSERT_TRUE(AllocatePixels(a, 3, 2));
    const std::vector<std::uint8_t> pixels = {5, 200, 5, 200, 200, 5};
    std::copy(pixels.begin(), pixels.end(), a.pixels.get());
    IndexedImage b;
    b.width = 3;
    b.height = 2;
    ASSERT_TRUE(AllocatePixels(b, 3, 2));
    std::copy(pixels.begin(), pixels.end(), b.pixels.get());

    RemapToPalette(test::PixelSpan(a), WalPalette, first);
    RemapToPalette(test::PixelSpan(b), WalPalette, second);
    EXPECT_EQ(test::PixelsOf(a), test::PixelsOf(b));
    EXPECT_EQ(a.pixels[0], ReferenceTable(WalPalette, first)[5]);
    EXPECT_EQ(a.pixels[1], ReferenceTable(WalPalette, first)[200]);
}

TEST(WalRemap, MatchesAPlainSearchAcrossChangingPalettes) {
    // The table of the last pair of palettes is reused; every change of either palette, even of
    // one byte in the same object, must be seen.
    std::mt19937 random(11);
    const Palette a = RandomPalette(random);
    const Palette b = RandomPalette(random);
    Palette edited = a;
    Palette target = RandomPalette(random);

    auto check = [&](const Palette& to, const Palette& from, const char* what) {
        IndexedImage image = AllIndices();
        RemapToPalette(test::PixelSpan(image), to, from);
        const RemapTable expected = ReferenceTable(to, from);
        EXPECT_EQ(test::PixelsOf(image),
                  std::vector<std::uint8_t>(expected.begin(), expected.end()))
            << what;
        EXPECT_EQ(BuildRemapTable(to, from), expected) << what;
    };
    check(WalPalette, a, "first search");
    check(WalPalette, a, "same palettes again");
    check(WalPalette, b, "another source");
    check(WalPalette, a, "the first source again");
    for (int round = 0; round < 8; ++round) {
        const auto entry = static_cast<std::size_t>(random() % 256);
        edited[entry * 3] = static_cast<std::uint8_t>(edited[entry * 3] ^ 0x80);
        check(WalPalette, edited, "one byte of the source changed in place");
    }
    check(target, edited, "another target");
    target[100] = static_cast<std::uint8_t>(target[100] ^ 0x40);
    check(target, edited, "one byte of the target changed in place");
}

} // namespace
} // namespace texelary
