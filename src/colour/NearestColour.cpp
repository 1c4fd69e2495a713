#include "colour/NearestColour.h"

#include "base/LastPerThread.h"
#include "colour/Nearest.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace texelary {

namespace {

constexpr std::size_t ColourCount = std::size_t{1} << 24;

// The colour cube in cells of 8 x 8 x 8 colours, 32 along each side.
constexpr int CellShift = 3;
constexpr int CellSide = 1 << CellShift;
constexpr std::uint32_t CellColours = CellSide * CellSide * CellSide;
constexpr std::size_t CellCount = ColourCount / CellColours;
constexpr std::uint32_t CellUnknown = 0xFFFFFFFFu;
// A cell whose colours have needed this many searches gets the answers for all of its colours
// at once, in one pass that needs no bit per colour after that. A batch that maps picture after
// picture onto one palette soon has every cell it meets filled. Of 1, 8, 16, 32, 64 and 128, 16
// converted a batch of 200 photograph-like pictures fastest while keeping the cost of a single
// picture near that of searching its colours one by one.
constexpr std::uint16_t FillAfter = 16;
// How many pixels ahead of the one being mapped the answer is asked for early.
constexpr std::size_t Ahead = 64;

// Hot loops built for the widest vectors the processor has, chosen when the program starts, where
// the toolchain can do that (ELF systems with GCC or Clang); elsewhere the build's own. Integer
// arithmetic throughout, so every choice gives the same answers. Not under ThreadSanitizer, whose
// runtime is not up yet when the choice is made, as the program is loaded.
#if defined(__SANITIZE_THREAD__)
#define TEXELARY_WIDEST_VECTORS
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TEXELARY_WIDEST_VECTORS
#endif
#endif
#if !defined(TEXELARY_WIDEST_VECTORS) && defined(__x86_64__) && defined(__ELF__) &&                \
    defined(__has_attribute)
#if __has_attribute(target_clones)
#define TEXELARY_WIDEST_VECTORS __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
#endif
#ifndef TEXELARY_WIDEST_VECTORS
#define TEXELARY_WIDEST_VECTORS
#endif

// Where among `size` candidates (a multiple of 32, padded with FarAway) the first of those
// nearest to (r, g, b) lies. Each candidate's distance and position make one key, distance above
// position, so that the smallest key is the first at the smallest distance: a single pass of
// vector arithmetic, with no second pass to find where the minimum was.
TEXELARY_WIDEST_VECTORS
std::size_t FirstNearest(const std::int16_t* red, const std::int16_t* green,
                         const std::int16_t* blue, std::size_t size, std::int16_t r, std::int16_t g,
                         std::int16_t b) {
    static constexpr auto Positions = [] {
        std::array<std::int32_t, 256> positions{};
        for (std::size_t k = 0; k < 256; ++k) {
            positions[k] = static_cast<std::int32_t>(k);
        }
        return positions;
    }();
    std::int32_t best = std::numeric_limits<std::int32_t>::max();
    for (std::size_t k = 0; k < size; ++k) {
        const std::int32_t distance = AbsoluteDistance(red[k], green[k], blue[k], r, g, b);
        best = std::min(best, distance * 256 + Positions[k]);
    }
    return static_cast<std::size_t>(best & 255);
}

// How far `value` lies outside [0, span], and its distance from the farther end.
std::int16_t Outside(std::int16_t value, std::int16_t span) {
    return static_cast<std::int16_t>(
        std::max<std::int16_t>(0, static_cast<std::int16_t>(-value)) +
        std::max<std::int16_t>(0, static_cast<std::int16_t>(value - span)));
}

std::int16_t Farthest(std::int16_t value, std::int16_t span) {
    return std::max(Difference<std::int16_t>(value, 0), Difference(value, span));
}

// The entries that can be nearest to some colour of the box of `side` colours a channel whose
// lowest corner is `low`, written to `picked` in index order; returns how many. An entry whose
// smallest distance to the box exceeds some entry's largest distance to it is farther from every
// colour of the box than that entry, so it can neither be nearest nor tie. Both distances are
// worked out in passes of vector arithmetic; an entry left out, at FarAway, is never picked.
TEXELARY_WIDEST_VECTORS
std::size_t EntriesNearBox(const Channels<std::int16_t>& palette, std::array<std::int16_t, 3> low,
                           std::int16_t side, std::array<std::uint8_t, 256>& picked) {
    const auto span = static_cast<std::int16_t>(side - 1);
    std::array<std::int16_t, 256> nearest;
    std::int16_t bound = std::numeric_limits<std::int16_t>::max();
    for (std::size_t t = 0; t < 256; ++t) {
        const auto red = static_cast<std::int16_t>(palette.red[t] - low[0]);
        const auto green = static_cast<std::int16_t>(palette.green[t] - low[1]);
        const auto blue = static_cast<std::int16_t>(palette.blue[t] - low[2]);
        nearest[t] = static_cast<std::int16_t>(Outside(red, span) + Outside(green, span) +
                                               Outside(blue, span));
        bound =
            std::min(bound, static_cast<std::int16_t>(Farthest(red, span) + Farthest(green, span) +
                                                      Farthest(blue, span)));
    }
    std::size_t count = 0;
    for (std::size_t t = 0; t < 256; ++t) {
        picked[count] = static_cast<std::uint8_t>(t);
        count += nearest[t] <= bound ? 1u : 0u;
    }
    return count;
}

constexpr std::align_val_t HugePage{std::size_t{2} << 20};

struct FreeAnswers {
    void operator()(std::uint8_t* memory) const { ::operator delete(memory, HugePage); }
};

// 16 MiB for one answer per colour, in pages of 2 MiB where the system has them: the answers of
// a picture's colours lie all over the table, and with small pages nearly every look-up would
// first miss the processor's table of pages.
std::unique_ptr<std::uint8_t[], FreeAnswers> AnswerMemory() {
    auto* memory = static_cast<std::uint8_t*>(::operator new(ColourCount, HugePage));
#ifdef MADV_HUGEPAGE
    madvise(memory, ColourCount, MADV_HUGEPAGE); // only advice: small pages work as well
#endif
    return std::unique_ptr<std::uint8_t[], FreeAnswers>(memory);
}

// The nearest of `count` candidates (in index order) for each of the 8 x 8 x 8 colours of the cell
// whose lowest corner is `corner`, written to `answers` in the cell's order: candidate after
// candidate, each a pass over the cell's colours in vector arithmetic, a later one taking a
// colour only when strictly nearer, as a search of the candidates in turn would.
TEXELARY_WIDEST_VECTORS
void FillCell(const Channels<std::int16_t>& channels, const std::uint8_t* candidate,
              std::size_t count, std::array<std::int16_t, 3> corner, std::uint8_t* answers) {
    static constexpr auto Offsets = [] {
        std::array<std::array<std::int16_t, CellColours>, 3> offsets{};
        for (std::size_t i = 0; i < CellColours; ++i) {
            offsets[0][i] = static_cast<std::int16_t>(i >> (2 * CellShift));
            offsets[1][i] = static_cast<std::int16_t>((i >> CellShift) & (CellSide - 1));
            offsets[2][i] = static_cast<std::int16_t>(i & (CellSide - 1));
        }
        return offsets;
    }();
    std::array<std::int16_t, CellColours> best;
    std::array<std::uint16_t, CellColours> nearest{};
    best.fill(std::numeric_limits<std::int16_t>::max());
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint16_t t = candidate[k];
        const auto dr = static_cast<std::int16_t>(channels.red[t] - corner[0]);
        const auto dg = static_cast<std::int16_t>(channels.green[t] - corner[1]);
        const auto db = static_cast<std::int16_t>(channels.blue[t] - corner[2]);
        for (std::size_t i = 0; i < CellColours; ++i) {
            const std::int16_t distance =
                AbsoluteDistance(Offsets[0][i], Offsets[1][i], Offsets[2][i], dr, dg, db);
            // All ones where this candidate is strictly nearer.
            const auto closer = static_cast<std::uint16_t>(-Nearer(distance, best[i]));
            best[i] = std::min(distance, best[i]);
            nearest[i] = static_cast<std::uint16_t>((nearest[i] & ~closer) | (t & closer));
        }
    }
    for (std::size_t i = 0; i < CellColours; ++i) {
        answers[i] = static_cast<std::uint8_t>(nearest[i]);
    }
}

// The palette a table serves, and the entry left out of it (NoEntry for none).
struct TableKey {
    Palette palette{};
    int excluded = NoEntry;
    bool operator==(const TableKey&) const = default;
};

// The nearest entry of one palette for any 24-bit colour, searched when the colour first turns
// up and remembered after that. The search looks only at the entries that can be nearest
// anywhere in the colour's cell of the cube (EntriesNearBox), found for each cell when it first
// turns up. Answers are stored cell by cell (the 512 colours of a cell side by side), so that the
// neighbouring colours of a picture share cache lines.
class NearestTable {
public:
    explicit NearestTable(const TableKey& key)
        : m_index(AnswerMemory())
        , m_known(ColourCount / 64)
        , m_cellStart(CellCount)
        , m_cellSize(CellCount, 0)
        , m_searches(CellCount) {
        Reset(key);
    }

    // Forgets every answer and serves `key` from now on, keeping the memory, so that a thread
    // going on to another palette makes no new table.
    void Reset(const TableKey& key) {
        m_channels = SplitChannels<std::int16_t>(key.palette, key.excluded);
        std::fill(m_known.begin(), m_known.end(), 0);
        std::fill(m_cellStart.begin(), m_cellStart.end(), CellUnknown);
        std::fill(m_searches.begin(), m_searches.end(), 0);
        m_candidates.clear();
    }

    std::uint8_t Nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t cell = CellOf(r, g, b);
        const std::uint32_t slot = cell * CellColours + InCell(r, g, b);
        if (m_searches[cell] != Filled) {
            Know(cell, slot, r, g, b);
        }
        return m_index[slot];
    }

    // Asks for the answer of (r, g, b) to be brought into the cache, so that looking some
    // pixels ahead overlaps the wait for memory with the work on the pixels between.
    void Prefetch(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
#if defined(__GNUC__)
        __builtin_prefetch(m_index.get() + CellOf(r, g, b) * CellColours + InCell(r, g, b));
#else
        static_cast<void>(r), static_cast<void>(g), static_cast<void>(b);
#endif
    }

private:
    static constexpr std::uint16_t Filled = 0xFFFF;

    static std::uint32_t CellOf(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        constexpr int Bits = 8 - CellShift;
        return ((r >> CellShift) << (2 * Bits)) | ((g >> CellShift) << Bits) | (b >> CellShift);
    }

    static std::uint32_t InCell(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        constexpr std::uint32_t Low = CellSide - 1;
        return ((r & Low) << (2 * CellShift)) | ((g & Low) << CellShift) | (b & Low);
    }

    static std::int16_t Corner(std::int16_t value) {
        return static_cast<std::int16_t>(value & ~(CellSide - 1));
    }

    // Makes m_index[slot] the answer for (r, g, b) in a cell not yet filled: searched once, or
    // the whole cell filled when it has needed enough searches.
#if defined(__GNUC__)
    __attribute__((noinline))
#endif
    void
    Know(std::uint32_t cell, std::uint32_t slot, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint64_t& word = m_known[slot >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (slot & 63);
        if ((word & bit) != 0) {
            return;
        }
        if (++m_searches[cell] == FillAfter) {
            Fill(cell, r, g, b);
        } else {
            m_index[slot] = Search(cell, r, g, b);
            word |= bit;
        }
    }

    // The cell's candidates, found when the cell first turns up, in index order.
    const std::uint8_t* Candidates(std::size_t cell, std::int16_t r, std::int16_t g,
                                   std::int16_t b) {
        if (m_cellStart[cell] == CellUnknown) {
            std::array<std::uint8_t, 256> picked;
            const std::size_t count =
                EntriesNearBox(m_channels, {Corner(r), Corner(g), Corner(b)}, CellSide, picked);
            const std::size_t start = m_candidates.size();
            m_candidates.insert(m_candidates.end(), picked.begin(),
                                picked.begin() + static_cast<std::ptrdiff_t>(count));
            m_cellStart[cell] = static_cast<std::uint32_t>(start);
            m_cellSize[cell] = static_cast<std::uint16_t>(count);
        }
        return m_candidates.data() + m_cellStart[cell];
    }

    std::uint8_t Search(std::size_t cell, std::int16_t r, std::int16_t g, std::int16_t b) {
        const std::uint8_t* candidate = Candidates(cell, r, g, b);
        std::uint8_t nearest = candidate[0];
        std::int16_t best = std::numeric_limits<std::int16_t>::max();
        for (std::size_t i = 0; i < m_cellSize[cell]; ++i) {
            const std::size_t t = candidate[i];
            const std::int16_t distance = AbsoluteDistance(m_channels.red[t], m_channels.green[t],
                                                           m_channels.blue[t], r, g, b);
            if (Nearer(distance, best)) {
                best = distance;
                nearest = static_cast<std::uint8_t>(t);
            }
        }
        return nearest;
    }

    // The answers for every colour of the cell that (r, g, b) lies in, the same as Search gives
    // each of them (FillCell).
    void Fill(std::size_t cell, std::int16_t r, std::int16_t g, std::int16_t b) {
        FillCell(m_channels, Candidates(cell, r, g, b), m_cellSize[cell],
                 {Corner(r), Corner(g), Corner(b)}, m_index.get() + cell * CellColours);
        m_searches[cell] = Filled;
    }

    Channels<std::int16_t> m_channels;
    // Answers, cell by cell: valid where the colour's bit in m_known is set or its cell is filled.
    std::unique_ptr<std::uint8_t[], FreeAnswers> m_index;
    std::vector<std::uint64_t> m_known;     // one bit per colour, in the order of m_index
    std::vector<std::uint32_t> m_cellStart; // where a cell's candidates begin; CellUnknown
    std::vector<std::uint16_t> m_cellSize;  // how many candidates a cell has
    std::vector<std::uint16_t> m_searches;  // a cell's searches so far, or Filled
    std::vector<std::uint8_t> m_candidates; // every known cell's candidates, back to back
};

// The nearest entry of a palette met once (a picture's own), without a table of answers: filling
// one would cost more than the picture's pixels. The colour cube is cut into blocks of
// 32 x 32 x 32 colours, and each block that the picture's colours fall into gets its candidates
// (EntriesNearBox); a colour is then searched among its block's candidates only, the distances in
// one pass of vector arithmetic.
class BlockSearch {
public:
    BlockSearch(const Palette& palette, int excluded)
        : m_channels(SplitChannels<std::int16_t>(palette, excluded))
        , m_start(BlockCount, BlockUnknown)
        , m_size(BlockCount, 0) {}
    explicit BlockSearch(const TableKey& key)
        : BlockSearch(key.palette, key.excluded) {}

    std::uint8_t Nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t key = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        if (key == m_lastKey) { // neighbouring pixels often share a colour
            return m_lastAnswer;
        }
        // A texture has a few thousand colours among its tens of thousands of pixels: each is
        // searched once, and its answer kept for the pixels that come back to it.
        const std::size_t slot = (key * 0x9E3779B1u) >> (32 - CacheBits);
        if (m_cachedKey[slot] == key) {
            m_lastKey = key;
            m_lastAnswer = m_cachedAnswer[slot];
            return m_lastAnswer;
        }
        const std::size_t block = ((std::size_t{r} >> Shift) << (2 * Bits)) |
                                  ((std::size_t{g} >> Shift) << Bits) | (std::size_t{b} >> Shift);
        if (m_start[block] == BlockUnknown) {
            FindCandidates(block, r, g, b);
        }
        const std::size_t start = m_start[block];
        const std::size_t size = m_size[block]; // a multiple of Lanes, padded with FarAway
        m_lastKey = key;
        m_lastAnswer = m_candIndex[start + FirstNearest(&m_candRed[start], &m_candGreen[start],
                                                        &m_candBlue[start], size, r, g, b)];
        m_cachedKey[slot] = key;
        m_cachedAnswer[slot] = m_lastAnswer;
        return m_lastAnswer;
    }

    void Prefetch(std::uint8_t, std::uint8_t, std::uint8_t) const {}

private:
    static constexpr int Shift = 5;
    static constexpr std::int16_t Side = 1 << Shift;
    static constexpr int Bits = 8 - Shift;
    static constexpr std::size_t BlockCount = std::size_t{1} << (3 * Bits);
    static constexpr std::uint32_t BlockUnknown = 0xFFFFFFFFu;
    // Padding that suits vectors of any width up to 512 bits.
    static constexpr std::size_t Lanes = 32;
    // The answers kept: a slot per hash of the colour, the last colour there winning.
    static constexpr int CacheBits = 14;
    static constexpr std::uint32_t NoColour = 0xFFFFFFFFu; // colours are 24 bits

    // The block's candidates, their colours copied beside their indices so that the search reads
    // them in order.
    void FindCandidates(std::size_t block, int r, int g, int b) {
        const auto low = [](int value) { return static_cast<std::int16_t>(value & ~(Side - 1)); };
        std::array<std::uint8_t, 256> picked;
        const std::size_t count =
            EntriesNearBox(m_channels, {low(r), low(g), low(b)}, Side, picked);
        const std::size_t padded = (count + Lanes - 1) / Lanes * Lanes;
        const std::size_t start = m_candIndex.size();
        m_start[block] = static_cast<std::uint32_t>(start);
        m_size[block] = static_cast<std::uint16_t>(padded);
        m_candRed.resize(start + padded, FarAway);
        m_candGreen.resize(start + padded, FarAway);
        m_candBlue.resize(start + padded, FarAway);
        m_candIndex.resize(start + padded, 0);
        for (std::size_t k = 0; k < count; ++k) {
            m_candRed[start + k] = m_channels.red[picked[k]];
            m_candGreen[start + k] = m_channels.green[picked[k]];
            m_candBlue[start + k] = m_channels.blue[picked[k]];
            m_candIndex[start + k] = picked[k];
        }
    }

    Channels<std::int16_t> m_channels;
    std::vector<std::uint32_t> m_start; // where a block's candidates begin; BlockUnknown
    std::vector<std::uint16_t> m_size;
    std::vector<std::int16_t> m_candRed; // every known block's candidates, back to back
    std::vector<std::int16_t> m_candGreen;
    std::vector<std::int16_t> m_candBlue;
    std::vector<std::uint8_t> m_candIndex;
    std::uint32_t m_lastKey = 0xFFFFFFFFu;
    std::uint8_t m_lastAnswer = 0;
    std::vector<std::uint32_t> m_cachedKey =
        std::vector<std::uint32_t>(std::size_t{1} << CacheBits, NoColour);
    std::vector<std::uint8_t> m_cachedAnswer =
        std::vector<std::uint8_t>(std::size_t{1} << CacheBits, 0);
};

// What MapToPalette keeps per thread for its last palette. The first picture mapped onto a
// palette is searched colour by colour (BlockSearch), which costs a single picture far less than
// setting up the 19 MB table; the table is made when a second picture comes with the same
// palette, that is for a batch, and kept while the palette stays. A picture of more pixels than
// SearchedAlone pays for the table by itself, and has it from the start.
class PaletteMapper {
public:
    explicit PaletteMapper(const TableKey& key)
        : m_key(key) {}

    // Serves `key` from now on; a table already made is kept for it, to be emptied only if it is
    // needed again.
    void Reset(const TableKey& key) {
        m_key = key;
        m_pictures = 0;
        m_tableCurrent = false;
    }

    // Maps with the searcher that suits this picture: `map` is called with a BlockSearch or the
    // NearestTable.
    template <class Map> auto With(std::size_t pixels, Map&& map) {
        constexpr std::size_t SearchedAlone = 1024 * 1024;
        if (m_pictures++ == 0 && pixels <= SearchedAlone) {
            BlockSearch search(m_key.palette, m_key.excluded);
            return map(search);
        }
        if (!m_table) {
            m_table = std::make_unique<NearestTable>(m_key);
        } else if (!m_tableCurrent) {
            m_table->Reset(m_key);
        }
        m_tableCurrent = true;
        return map(*m_table);
    }

private:
    TableKey m_key;
    std::size_t m_pictures = 0;
    std::unique_ptr<NearestTable> m_table;
    bool m_tableCurrent = false; // whether m_table serves m_key
};

LastPerThread<TableKey, PaletteMapper> lastMapper;

// The searches among the entries of the last target palette of NearestEntries, per thread: its
// blocks' candidates and the answers kept serve every source palette remapped onto it.
LastPerThread<TableKey, BlockSearch> lastTarget;

template <class Searcher>
void MapPlain(const RgbaImage& image, Searcher& table, const TrueColourOptions& options,
              std::uint8_t* out, std::size_t count) {
    const std::uint8_t* pixel = image.pixels.data();
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        if (i + Ahead < count) {
            const std::uint8_t* later = pixel + 4 * Ahead;
            table.Prefetch(later[0], later[1], later[2]);
        }
        out[i] = Transparent(pixel, options) ? *options.transparentIndex
                                             : table.Nearest(pixel[0], pixel[1], pixel[2]);
    }
}

// Floyd-Steinberg: what a pixel's colour misses by goes on to its unvisited neighbours, 7/16 to
// the next pixel in the row, 3/16, 5/16 and 1/16 to the three below. Rows alternate direction,
// which keeps the error from drifting to one side. Errors are kept in sixteenths, in two rows with
// a spare cell at each end for what falls off the picture. A transparent pixel takes and passes
// on no error.
template <class Searcher>
void MapDithered(const RgbaImage& image, Searcher& table, const Palette& palette,
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

template <class Searcher>
std::unique_ptr<IndexedImage> MapWith(const RgbaImage& image, const Palette& palette,
                                      const TrueColourOptions& options, Searcher& searcher) {
    auto result = IndexedOfSize(image);
    if (!result) {
        return nullptr;
    }
    if (options.dither) {
        MapDithered(image, searcher, palette, options, result->pixels.get());
    } else {
        MapPlain(image, searcher, options, result->pixels.get(),
                 static_cast<std::size_t>(result->width) *
                     static_cast<std::size_t>(result->height));
    }
    return result;
}

int Excluded(const TrueColourOptions& options) {
    return options.transparentIndex ? *options.transparentIndex : NoEntry;
}

} // namespace

std::unique_ptr<IndexedImage> MapToPalette(const RgbaImage& image, const Palette& palette,
                                           const TrueColourOptions& options) {
    try {
        PaletteMapper& mapper = lastMapper.For({palette, Excluded(options)});
        return mapper.With(image.pixels.size() / 4, [&](auto& searcher) {
            return MapWith(image, palette, options, searcher);
        });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::array<std::uint8_t, 256> NearestEntries(const Palette& target, const Palette& source) {
    BlockSearch& search = lastTarget.For({target, NoEntry});
    std::array<std::uint8_t, 256> nearest{};
    for (std::size_t s = 0; s < 256; ++s) {
        nearest[s] = search.Nearest(source[3 * s], source[3 * s + 1], source[3 * s + 2]);
    }
    return nearest;
}

std::unique_ptr<IndexedImage> MapToNewPalette(const RgbaImage& image, const Palette& palette,
                                              const TrueColourOptions& options) {
    try {
        BlockSearch search(palette, Excluded(options));
        return MapWith(image, palette, options, search);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool NearestOfColours(const Palette& palette, const TrueColourOptions& options,
                      const std::uint32_t* colours, std::size_t count, std::uint8_t* nearest) {
    try {
        BlockSearch search(palette, Excluded(options));
        for (std::size_t i = 0; i < count; ++i) {
            nearest[i] = search.Nearest(static_cast<std::uint8_t>(colours[i] >> 16),
                                        static_cast<std::uint8_t>(colours[i] >> 8),
                                        static_cast<std::uint8_t>(colours[i]));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace texelary
