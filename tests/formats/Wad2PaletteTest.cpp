#include "colour/Wad2Palette.h"

#include <gtest/gtest.h>
#include <tuple>

namespace texelary {
namespace {

TEST(Wad2Palette, HoldsTheGamesColours) {
    // A few entries, the full-bright range's first and last among them.
    for (const auto& [index, red, green, blue] :
         {std::tuple{0, 0, 0, 0}, std::tuple{15, 235, 235, 235}, std::tuple{16, 15, 11, 7},
          std::tuple{128, 171, 139, 163}, std::tuple{223, 11, 11, 15}, std::tuple{224, 43, 0, 0},
          std::tuple{254, 255, 255, 255}, std::tuple{255, 159, 91, 83}}) {
        const auto at = static_cast<std::size_t>(index) * 3;
        EXPECT_EQ(Wad2Palette[at], red) << index;
        EXPECT_EQ(Wad2Palette[at + 1], green) << index;
        EXPECT_EQ(Wad2Palette[at + 2], blue) << index;
    }
    // And all 768 bytes at once, through their 64-bit FNV-1a hash. (That there are 256 entries,
    // no more and no fewer, is checked when the table is compiled.)
    std::uint64_t hash = 0xCBF29CE484222325;
    for (const std::uint8_t byte : Wad2Palette) {
        hash = (hash ^ byte) * 0x100000001B3;
    }
    EXPECT_EQ(hash, 0x019DFC47E24E207EU);
}

} // namespace
} // namespace texelary
