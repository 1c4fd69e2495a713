#include "colour/WalPalette.h"

#include "base/LastPerThread.h"
#include "colour/NearestColour.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace texelary {

// The game's own 256-colour texture palette, R, G, B per entry, index 0 first; every .wal pixel
// value indexes it. Generated once from tests/data/wal/wal-palette.txt, which a test compares it
// with. Nine entries repeat an earlier colour (94 = 29; 95, 103 = 31; 101 = 26; 102 = 28;
// 127, 143, 175 = 0; 191 = 142); the remap never picks them, since the earlier entry is as near.
const Palette WalPalette = {
    0,   0,   0,   15,  15,  15,  31,  31,  31,  47,  47,  47,  // 0-3
    63,  63,  63,  75,  75,  75,  91,  91,  91,  107, 107, 107, // 4-7
    123, 123, 123, 139, 139, 139, 155, 155, 155, 171, 171, 171, // 8-11
    187, 187, 187, 203, 203, 203, 219, 219, 219, 235, 235, 235, // 12-15
    99,  75,  35,  91,  67,  31,  83,  63,  31,  79,  59,  27,  // 16-19
    71,  55,  27,  63,  47,  23,  59,  43,  23,  51,  39,  19,  // 20-23
    47,  35,  19,  43,  31,  19,  39,  27,  15,  35,  23,  15,  // 24-27
    27,  19,  11,  23,  15,  11,  19,  15,  7,   15,  11,  7,   // 28-31
    95,  95,  111, 91,  91,  103, 91,  83,  95,  87,  79,  91,  // 32-35
    83,  75,  83,  79,  71,  75,  71,  63,  67,  63,  59,  59,  // 36-39
    59,  55,  55,  51,  47,  47,  47,  43,  43,  39,  39,  39,  // 40-43
    35,  35,  35,  27,  27,  27,  23,  23,  23,  19,  19,  19,  // 44-47
    143, 119, 83,  123, 99,  67,  115, 91,  59,  103, 79,  47,  // 48-51
    207, 151, 75,  167, 123, 59,  139, 103, 47,  111, 83,  39,  // 52-55
    235, 159, 39,  203, 139, 35,  175, 119, 31,  147, 99,  27,  // 56-59
    119, 79,  23,  91,  59,  15,  63,  39,  11,  35,  23,  7,   // 60-63
    167, 59,  43,  159, 47,  35,  151, 43,  27,  139, 39,  19,  // 64-67
    127, 31,  15,  115, 23,  11,  103, 23,  7,   87,  19,  0,   // 68-71
    75,  15,  0,   67,  15,  0,   59,  15,  0,   51,  11,  0,   // 72-75
    43,  11,  0,   35,  11,  0,   27,  7,   0,   19,  7,   0,   // 76-79
    123, 95,  75,  115, 87,  67,  107, 83,  63,  103, 79,  59,  // 80-83
    95,  71,  55,  87,  67,  51,  83,  63,  47,  75,  55,  43,  // 84-87
    67,  51,  39,  63,  47,  35,  55,  39,  27,  47,  35,  23,  // 88-91
    39,  27,  19,  31,  23,  15,  23,  15,  11,  15,  11,  7,   // 92-95
    111, 59,  23,  95,  55,  23,  83,  47,  23,  67,  43,  23,  // 96-99
    55,  35,  19,  39,  27,  15,  27,  19,  11,  15,  11,  7,   // 100-103
    179, 91,  79,  191, 123, 111, 203, 155, 147, 215, 187, 183, // 104-107
    203, 215, 223, 179, 199, 211, 159, 183, 195, 135, 167, 183, // 108-111
    115, 151, 167, 91,  135, 155, 71,  119, 139, 47,  103, 127, // 112-115
    23,  83,  111, 19,  75,  103, 15,  67,  91,  11,  63,  83,  // 116-119
    7,   55,  75,  7,   47,  63,  7,   39,  51,  0,   31,  43,  // 120-123
    0,   23,  31,  0,   15,  19,  0,   7,   11,  0,   0,   0,   // 124-127
    139, 87,  87,  131, 79,  79,  123, 71,  71,  115, 67,  67,  // 128-131
    107, 59,  59,  99,  51,  51,  91,  47,  47,  87,  43,  43,  // 132-135
    75,  35,  35,  63,  31,  31,  51,  27,  27,  43,  19,  19,  // 136-139
    31,  15,  15,  19,  11,  11,  11,  7,   7,   0,   0,   0,   // 140-143
    151, 159, 123, 143, 151, 115, 135, 139, 107, 127, 131, 99,  // 144-147
    119, 123, 95,  115, 115, 87,  107, 107, 79,  99,  99,  71,  // 148-151
    91,  91,  67,  79,  79,  59,  67,  67,  51,  55,  55,  43,  // 152-155
    47,  47,  35,  35,  35,  27,  23,  23,  19,  15,  15,  11,  // 156-159
    159, 75,  63,  147, 67,  55,  139, 59,  47,  127, 55,  39,  // 160-163
    119, 47,  35,  107, 43,  27,  99,  35,  23,  87,  31,  19,  // 164-167
    79,  27,  15,  67,  23,  11,  55,  19,  11,  43,  15,  7,   // 168-171
    31,  11,  7,   23,  7,   0,   11,  0,   0,   0,   0,   0,   // 172-175
    119, 123, 207, 111, 115, 195, 103, 107, 183, 99,  99,  167, // 176-179
    91,  91,  155, 83,  87,  143, 75,  79,  127, 71,  71,  115, // 180-183
    63,  63,  103, 55,  55,  87,  47,  47,  75,  39,  39,  63,  // 184-187
    35,  31,  47,  27,  23,  35,  19,  15,  23,  11,  7,   7,   // 188-191
    155, 171, 123, 143, 159, 111, 135, 151, 99,  123, 139, 87,  // 192-195
    115, 131, 75,  103, 119, 67,  95,  111, 59,  87,  103, 51,  // 196-199
    75,  91,  39,  63,  79,  27,  55,  67,  19,  47,  59,  11,  // 200-203
    35,  47,  7,   27,  35,  0,   19,  23,  0,   11,  15,  0,   // 204-207
    0,   255, 0,   35,  231, 15,  63,  211, 27,  83,  187, 39,  // 208-211
    95,  167, 47,  95,  143, 51,  95,  123, 51,  255, 255, 255, // 212-215
    255, 255, 211, 255, 255, 167, 255, 255, 127, 255, 255, 83,  // 216-219
    255, 255, 39,  255, 235, 31,  255, 215, 23,  255, 191, 15,  // 220-223
    255, 171, 7,   255, 147, 0,   239, 127, 0,   227, 107, 0,   // 224-227
    211, 87,  0,   199, 71,  0,   183, 59,  0,   171, 43,  0,   // 228-231
    155, 31,  0,   143, 23,  0,   127, 15,  0,   115, 7,   0,   // 232-235
    95,  0,   0,   71,  0,   0,   47,  0,   0,   27,  0,   0,   // 236-239
    239, 0,   0,   55,  55,  255, 255, 0,   0,   0,   0,   255, // 240-243
    43,  43,  35,  27,  27,  23,  19,  19,  15,  235, 151, 127, // 244-247
    195, 115, 83,  159, 87,  51,  123, 63,  27,  235, 211, 199, // 248-251
    199, 171, 155, 167, 139, 119, 135, 107, 87,  159, 91,  83,  // 252-255
};

namespace {

// For each source entry, the nearest target entry by the measure of Nearest.h, searched among
// the target entries that can be nearest in the source colour's part of the colour cube, which
// matters when every file of a batch brings a palette of its own.
RemapTable SearchNearest(const Palette& target, const Palette& source) {
    return NearestEntries(target, source);
}

struct PalettePair {
    Palette target{};
    Palette source{};
    bool operator==(const PalettePair&) const = default;
};

struct Remap {
    explicit Remap(const PalettePair& palettes)
        : table(SearchNearest(palettes.target, palettes.source)) {}
    RemapTable table;
};

LastPerThread<PalettePair, Remap> lastRemap;

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TEXELARY_BYTE_PERMUTES
// Pixels through the table 64 at a time where the processor permutes bytes across two vectors
// (AVX-512 VBMI): the table's halves each in two 64-byte vectors, the low seven bits of an index
// picking within a half and its top bit which half. Returns how many pixels it did: all but the
// last `count % 64`, which the caller does. `out` may be `pixels`.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t
RemapByPermutes(const std::uint8_t* pixels, std::uint8_t* out, std::size_t count,
                const RemapTable& table) {
    const __m512i low0 = _mm512_loadu_si512(table.data());
    const __m512i low1 = _mm512_loadu_si512(table.data() + 64);
    const __m512i high0 = _mm512_loadu_si512(table.data() + 128);
    const __m512i high1 = _mm512_loadu_si512(table.data() + 192);
    std::size_t done = 0;
    for (; done + 64 <= count; done += 64) {
        const __m512i indices = _mm512_loadu_si512(pixels + done);
        const __m512i low = _mm512_permutex2var_epi8(low0, indices, low1);
        const __m512i high = _mm512_permutex2var_epi8(high0, indices, high1);
        _mm512_storeu_si512(out + done,
                            _mm512_mask_blend_epi8(_mm512_movepi8_mask(indices), low, high));
    }
    return done;
}
#endif

} // namespace

RemapTable BuildRemapTable(const Palette& target, const Palette& source) {
    return lastRemap.For({target, source}).table;
}

void RemapToPalette(std::span<std::uint8_t> pixels, const Palette& target, const Palette& source) {
    RemapToPalette(pixels, pixels.data(), target, source);
}

void RemapToPalette(std::span<const std::uint8_t> pixels, std::uint8_t* out, const Palette& target,
                    const Palette& source) {
    const RemapTable table = BuildRemapTable(target, source);
    std::size_t done = 0;
#ifdef TEXELARY_BYTE_PERMUTES
    static const bool permutes = __builtin_cpu_supports("avx512vbmi") != 0;
    if (permutes) {
        done = RemapByPermutes(pixels.data(), out, pixels.size(), table);
    }
#endif
    // Eight pixels a step: one load and one store of eight bytes instead of eight of each.
    for (; done + 8 <= pixels.size(); done += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, pixels.data() + done, 8);
        std::uint64_t remapped = 0;
        for (int byte = 0; byte < 8; ++byte) {
            remapped |= std::uint64_t{table[(eight >> (8 * byte)) & 0xFF]} << (8 * byte);
        }
        std::memcpy(out + done, &remapped, 8);
    }
    for (; done < pixels.size(); ++done) {
        out[done] = table[pixels[done]];
    }
}

} // namespace texelary
