// Palette file reader from hostile bytes, as a palette.lmp (raw, JASC or GIMP by their first
// line) and as a colormap.pcx; an accepted palette must hold 1 to 256 colours, the rest entry 0's.

#include "formats/PaletteFile.h"

#include <algorithm>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    for (const char* name : {"palette.lmp", "colormap.pcx"}) {
        std::string reason;
        const auto file = ParsePaletteFile(name, bytes, reason);
        if (!file) {
            if (reason.empty()) {
                std::abort();
            }
            continue;
        }
        if (file->count == 0 || file->count > 256) {
            std::abort();
        }
        for (std::size_t i = file->count; i < 256; ++i) {
            if (!std::equal(file->palette.begin(), file->palette.begin() + 3,
                            file->palette.begin() + static_cast<std::ptrdiff_t>(3 * i))) {
                std::abort();
            }
        }
    }
    return 0;
}
