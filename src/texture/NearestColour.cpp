#include "texture/NearestColour.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace texelary {

namespace {

constexpr std::size_t ColourCount = std::size_t{1} << 24;

// The colour cube in cells of 8 x 8 x 8 colours, 32 along each side.
constexpr int CellShift = 3;
constexpr int CellSide = 1 << CellShift;
constexpr std::size_t CellCount = std::size_t{1} << (3 * (8 - CellShift));
constexpr std::uint32_t CellUnknown = 0xFFFFFFFFu;

// The nearest entry of one palette for any 24-bit colour, searched when the colour first turns
// up and remembered after that. The search gives the remap's answer (the first entry at the
// smallest distance, which is the lowest index among the nearest colours) but looks only at the
// entries that can be nearest anywhere in the colour's cell of the cube: an entry whose smallest
// distance to the cell exceeds some entry's largest distance to it is farther from every colour
// of the cell than that entry, so it can neither be nearest nor tie. Each cell's candidates are
// found, in index order, when the cell first turns up. An excluded entry gets a colour far outside
// the cube, so it is never a candidate.
class NearestTable {
public:
    NearestTable(const Palette& palette, int excluded)
        : m_palette(palette)
        , m_excluded(excluded)
        , m_index(std::make_unique_for_overwrite<std::uint8_t[]>(ColourCount))
        , m_known(ColourCount / 64)
        , m_cellStart(CellCount, CellUnknown)
        , m_cellSize(CellCount, 0) {
        for (std::size_t t = 0; t < 256; ++t) {
            const bool out = static_cast<int>(t) == excluded;
            m_red[t] = out ? FarAway : palette[3 * t];
            m_green[t] = out ? FarAway : palette[3 * t + 1];
            m_blue[t] = out ? FarAway : palette[3 * t + 2];
        }
    }

    bool Serves(const Palette& palette, int excluded) const {
        return m_excluded == excluded && m_palette == palette;
    }

    std::uint8_t Nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t key = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        std::uint64_t& word = m_known[key >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (key & 63);
        if ((word & bit) == 0) {
            m_index[key] = Search(CellOf(r, g, b), r, g, b);
            word |= bit;
        }
        return m_index[key];
    }

private:
    static constexpr std::int16_t FarAway = 4000; // 3 x |4000 - 255| still fits 16 bits

    static std::uint32_t CellOf(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        constexpr int Bits = 8 - CellShift;
        return ((r >> CellShift) << (2 * Bits)) | ((g >> CellShift) << Bits) | (b >> CellShift);
    }

    static std::int16_t Difference(std::int16_t x, std::int16_t y) {
        return static_cast<std::int16_t>(std::max(x, y) - std::min(x, y));
    }

    std::uint8_t Search(std::size_t cell, std::int16_t r, std::int16_t g, std::int16_t b) {
        if (m_cellStart[cell] == CellUnknown) {
            FindCandidates(cell, static_cast<std::int16_t>(r & ~(CellSide - 1)),
                           static_cast<std::int16_t>(g & ~(CellSide - 1)),
                           static_cast<std::int16_t>(b & ~(CellSide - 1)));
        }
        const std::uint8_t* candidate = m_candidates.data() + m_cellStart[cell];
        std::uint8_t nearest = candidate[0];
        std::int16_t best = std::numeric_limits<std::int16_t>::max();
        for (std::size_t i = 0; i < m_cellSize[cell]; ++i) {
            const std::size_t t = candidate[i];
            const auto distance = static_cast<std::int16_t>(
                Difference(m_red[t], r) + Difference(m_green[t], g) + Difference(m_blue[t], b));
            if (distance < best) { // candidates are in index order: the first minimum stays
                best = distance;
                nearest = static_cast<std::uint8_t>(t);
            }
        }
        return nearest;
    }

    // The entries that can be nearest to some colour of the cell whose lowest corner is
    // (r, g, b), appended to m_candidates in index order.
    void FindCandidates(std::size_t cell, std::int16_t r, std::int16_t g, std::int16_t b) {
        const auto low = std::array<std::int16_t, 3>{r, g, b};
        const std::array<const std::array<std::int16_t, 256>*, 3> channels{&m_red, &m_green,
                                                                           &m_blue};
        std::int16_t bound = std::numeric_limits<std::int16_t>::max();
        for (std::size_t t = 0; t < 256; ++t) {
            std::int16_t nearestDistance = 0;
            std::int16_t farthestDistance = 0;
            for (std::size_t c = 0; c < 3; ++c) {
                const std::int16_t value = (*channels[c])[t];
                const auto high = static_cast<std::int16_t>(low[c] + CellSide - 1);
                const auto below = static_cast<std::int16_t>(std::max(0, low[c] - value));
                const auto above = static_cast<std::int16_t>(std::max(0, value - high));
                nearestDistance = static_cast<std::int16_t>(nearestDistance + below + above);
                farthestDistance =
                    static_cast<std::int16_t>(farthestDistance + std::max(Difference(value, low[c]),
                                                                          Difference(value, high)));
            }
            m_distances[t] = nearestDistance;
            bound = std::min(bound, farthestDistance);
        }
        m_cellStart[cell] = static_cast<std::uint32_t>(m_candidates.size());
        for (std::size_t t = 0; t < 256; ++t) {
            if (m_distances[t] <= bound) {
                m_candidates.push_back(static_cast<std::uint8_t>(t));
            }
        }
        m_cellSize[cell] = static_cast<std::uint16_t>(m_candidates.size() - m_cellStart[cell]);
    }

    Palette m_palette;
    int m_excluded;
    std::array<std::int16_t, 256> m_red{};
    std::array<std::int16_t, 256> m_green{};
    std::array<std::int16_t, 256> m_blue{};
    std::array<std::int16_t, 256> m_distances{};
    std::unique_ptr<std::uint8_t[]> m_index; // valid where the bit in m_known is set: not cleared
    std::vector<std::uint64_t> m_known;      // one bit per 24-bit colour
    std::vector<std::uint32_t> m_cellStart;  // where a cell's candidates begin; CellUnknown
    std::vector<std::uint16_t> m_cellSize;   // how many candidates a cell has
    std::vector<std::uint8_t> m_candidates;  // every known cell's candidates, back to back
};

// A batch maps picture after picture onto the same palette (every .wal onto WalPalette), so the
// table of the last palette is kept per thread: 18 MB, made on the first true-colour picture.
thread_local std::unique_ptr<NearestTable> lastTable;

NearestTable& TableFor(const Palette& palette, int excluded) {
    if (!lastTable || !lastTable->Serves(palette, excluded)) {
        lastTable.reset();
        lastTable = std::make_unique<NearestTable>(palette, excluded);
    }
    return *lastTable;
}

bool Transparent(const std::uint8_t* pixel, const TrueColourOptions& options) {
    return options.transparentIndex && pixel[3] < OpaqueAlpha;
}

void MapPlain(const RgbaImage& image, NearestTable& table, const TrueColourOptions& options,
              std::uint8_t* out, std::size_t count) {
    const std::uint8_t* pixel = image.pixels.data();
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        out[i] = Transparent(pixel, options) ? *options.transparentIndex
                                             : table.Nearest(pixel[0], pixel[1], pixel[2]);
    }
}

// Floyd-Steinberg: what a pixel's colour misses by goes on to its unvisited neighbours, 7/16 to
// the next pixel in the row, 3/16, 5/16 and 1/16 to the three below. Rows alternate direction,
// which keeps the error from drifting to one side. Errors are kept in sixteenths, in two rows with
// a spare cell at each end for what falls off the picture. A transparent pixel takes and passes
// on no error.
void MapDithered(const RgbaImage& image, NearestTable& table, const Palette& palette,
                 const TrueColourOptions& options, std::uint8_t* out) {
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    std::vector<std::int32_t> current((width + 2) * 3, 0);
    std::vector<std::int32_t> next((width + 2) * 3, 0);
    for (std::size_t y = 0; y < height; ++y) {
        const bool leftToRight = y % 2 == 0;
        std::fill(next.begin(), next.end(), 0);
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t x = leftToRight ? i : width - 1 - i;
            const std::uint8_t* pixel = image.pixels.data() + 4 * (y * width + x);
            if (Transparent(pixel, options)) {
                out[y * width + x] = *options.transparentIndex;
                continue;
            }
            const std::size_t cell = (x + 1) * 3; // this pixel's errors
            const std::size_t ahead = leftToRight ? cell + 3 : cell - 3;
            const std::size_t behind = leftToRight ? cell - 3 : cell + 3;
            std::array<std::int32_t, 3> wanted{};
            for (std::size_t c = 0; c < 3; ++c) {
                wanted[c] = std::clamp(pixel[c] + ((current[cell + c] + 8) >> 4), 0, 255);
            }
            const std::uint8_t index = table.Nearest(static_cast<std::uint8_t>(wanted[0]),
                                                     static_cast<std::uint8_t>(wanted[1]),
                                                     static_cast<std::uint8_t>(wanted[2]));
            out[y * width + x] = index;
            for (std::size_t c = 0; c < 3; ++c) {
                const std::int32_t error = wanted[c] - palette[3 * index + c];
                current[ahead + c] += error * 7;
                next[behind + c] += error * 3;
                next[cell + c] += error * 5;
                next[ahead + c] += error;
            }
        }
        std::swap(current, next);
    }
}

} // namespace

std::unique_ptr<IndexedImage> MapToPalette(const RgbaImage& image, const Palette& palette,
                                           const TrueColourOptions& options) {
    try {
        auto result = IndexedOfSize(image);
        if (!result) {
            return nullptr;
        }
        NearestTable& table =
            TableFor(palette, options.transparentIndex ? *options.transparentIndex : -1);
        if (options.dither) {
            MapDithered(image, table, palette, options, result->pixels.get());
        } else {
            MapPlain(image, table, options, result->pixels.get(),
                     static_cast<std::size_t>(result->width) *
                         static_cast<std::size_t>(result->height));
        }
        return result;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace texelary
