#include "formats/PaletteFile.h"

#include "BmpBuilder.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) {
    return {text.begin(), text.end()};
}

// A 2 x 2 8-bit PCX whose palette after the 0x0C marker has entry i = (255 - i, i, 9), as the
// games' colormap.pcx holds theirs.
Bytes Colormap() {
    Bytes pcx(128, 0);
    pcx[0] = 0x0a;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[8] = 1;  // xMax
    pcx[10] = 1; // yMax
    pcx[65] = 1; // planes
    pcx[66] = 2; // bytes per line
    pcx.insert(pcx.end(), {1, 2, 3, 4, 0x0c});
    for (int i = 0; i < 256; ++i) {
        pcx.insert(pcx.end(),
                   {static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i), 9});
    }
    return pcx;
}

struct PaletteCase {
    const char* name;
    Bytes bytes;
    std::size_t count;                           // 0: refused
    std::vector<std::uint8_t> firstEntries = {}; // the first colours, red, green, blue
    const char* reason = "";
};

TEST(PaletteFile, ReadsEveryKindAndRefusesWhatIsNone) {
    Bytes lmp(768);
    for (std::size_t i = 0; i < lmp.size(); ++i) {
        lmp[i] = static_cast<std::uint8_t>(i % 251);
    }
    const std::vector<PaletteCase> cases = {
        {"palette.lmp", lmp, 256, {0, 1, 2, 3, 4, 5}},
        {"colormap.pcx", Colormap(), 256, {255, 0, 9, 254, 1, 9}},
        {"wall.bmp", test::MakeBmp8(2, 2, {0, 1, 2, 3}), 256, {0, 255, 0, 1, 254, 0}},
        {"mod.pal",
         Text("JASC-PAL\r\n0100\r\n3\r\n10 20 30\r\n40 50 60\r\n70 80 90\r\n"),
         3,
         {10, 20, 30, 40, 50, 60, 70, 80, 90, 10, 20, 30}}, // entry 3 on: entry 0's colour
        {"mod.gpl",
         Text("GIMP Palette\nName: mod\nColumns: 16\n#\n  1   2   3\tdark\n4 5 6 light\n"),
         2,
         {1, 2, 3, 4, 5, 6, 1, 2, 3}},
        {"big.pal",
         Text("JASC-PAL\n0100\n300\n"),
         0,
         {},
         "the JASC palette's count of colours is missing, wrong or past 256"},
        {"bad.pal",
         Text("JASC-PAL\n0100\n1\n1 2 300\n"),
         0,
         {},
         "colour 0 of the JASC palette is not three numbers from 0 to 255"},
        {"none.gpl", Text("GIMP Palette\nName: none\n"), 0, {}, "the GIMP palette has no colours"},
        {"deep.bmp", test::MakeBmp24(2, 2), 0, {}, "not a 256-colour picture (8 bits per pixel)"},
        {"notes.txt",
         Text("red green blue"),
         0,
         {},
         "not a palette: neither 768 bytes of colours, a JASC or GIMP palette, nor a picture "
         "with one"},
    };
    for (const PaletteCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        const auto file = ParsePaletteFile(c.name, c.bytes, reason);
        ASSERT_EQ(file.has_value(), c.count != 0) << reason;
        EXPECT_EQ(reason, c.reason);
        if (file) {
            EXPECT_EQ(file->count, c.count);
            EXPECT_EQ(
                Bytes(file->palette.begin(),
                      file->palette.begin() + static_cast<std::ptrdiff_t>(c.firstEntries.size())),
                c.firstEntries);
            // Past its count, every entry has entry 0's colour.
            for (std::size_t i = c.count; i < 256; ++i) {
                EXPECT_EQ(file->palette[3 * i + 2], file->palette[2]) << i;
            }
        }
    }
}

} // namespace
} // namespace texelary
