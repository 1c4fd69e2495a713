#pragma once

// What "the nearest palette colour" means, for every search in this folder. Two measures: the sum
// of absolute differences of red, green and blue for remaps between palettes and for true colour
// brought down to a palette, and the squared distance for averaged mip levels, because on the
// averages of 2 x 2 blocks that is what agrees with the games' own files. By either measure the
// lowest index among the entries at the smallest distance wins, and an entry left out of the
// search is never chosen. The fast searches are built from the pieces below; NearestEntry is the
// plain search of all 256 entries that each of them must agree with.

#include "image/IndexedImage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace texelary {

enum class Measure { AbsoluteDifferences, Squares };

constexpr int NoEntry = -1; // no entry left out

// |x - y| in T throughout, never a wider type, so that loops of it compile to vector code of T
// with as many lanes as a vector holds: the larger of the difference and its negation, the form
// that the compiler vectorises.
template <class T> constexpr T Difference(T x, T y) {
    const auto difference = static_cast<T>(x - y);
    return std::max(difference, static_cast<T>(-difference));
}

template <class T> constexpr T AbsoluteDistance(T red, T green, T blue, T r, T g, T b) {
    return static_cast<T>(Difference(red, r) + Difference(green, g) + Difference(blue, b));
}

template <class T> constexpr T SquaredDistance(T red, T green, T blue, T r, T g, T b) {
    const T dr = red - r;
    const T dg = green - g;
    const T db = blue - b;
    return dr * dr + dg * dg + db * db;
}

// The tie rule for a search that meets the entries in index order: a later entry takes the place
// of the nearest so far only when it is strictly nearer, so the lowest index among equals stays.
template <class T> constexpr bool Nearer(T distance, T best) {
    return distance < best;
}

// The colour an entry left out of a search takes: far outside the cube, so that no colour is
// ever nearer to it than to a real entry, and 3 x |4000 - 255| still fits 16 bits.
constexpr std::int16_t FarAway = 4000;

// The palette's channels side by side, as vector arithmetic wants them.
template <class T> struct Channels {
    std::array<T, 256> red{};
    std::array<T, 256> green{};
    std::array<T, 256> blue{};
};

template <class T> Channels<T> SplitChannels(const Palette& palette, int excluded = NoEntry) {
    Channels<T> channels;
    for (std::size_t t = 0; t < 256; ++t) {
        const bool out = static_cast<int>(t) == excluded;
        channels.red[t] = static_cast<T>(out ? FarAway : palette[3 * t]);
        channels.green[t] = static_cast<T>(out ? FarAway : palette[3 * t + 1]);
        channels.blue[t] = static_cast<T>(out ? FarAway : palette[3 * t + 2]);
    }
    return channels;
}

// The entry of `palette` nearest to (r, g, b) by `measure`, never `excluded`: every entry looked
// at in turn.
inline std::uint8_t NearestEntry(const Palette& palette, std::uint8_t r, std::uint8_t g,
                                 std::uint8_t b, Measure measure, int excluded = NoEntry) {
    int best = std::numeric_limits<int>::max();
    std::uint8_t nearest = 0;
    for (int t = 0; t < 256; ++t) {
        const auto at = static_cast<std::size_t>(3 * t);
        const int red = palette[at];
        const int green = palette[at + 1];
        const int blue = palette[at + 2];
        const int distance = measure == Measure::Squares
                                 ? SquaredDistance<int>(red, green, blue, r, g, b)
                                 : AbsoluteDistance<int>(red, green, blue, r, g, b);
        if (t != excluded && Nearer(distance, best)) {
            best = distance;
            nearest = static_cast<std::uint8_t>(t);
        }
    }
    return nearest;
}

} // namespace texelary
