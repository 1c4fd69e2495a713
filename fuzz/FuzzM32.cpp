// .m32 reader: picture, levels and header fields from hostile bytes, the look inside, then the
// writer with both filters, whose files must read back as what was written.

#include "formats/mips/M32Format.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    const auto texture = DecodeM32(bytes, nullptr, LevelsWanted::First);
    const auto levels = DecodeM32Levels(bytes);
    const auto info = InspectM32(bytes, nullptr);
    // All three check level 0 alike; only the levels after it may refuse the file.
    if (texture.has_value() != info.has_value() || (levels && !texture)) {
        std::abort();
    }
    if (!texture) {
        return 0;
    }
    for (const MipFilter mips : {MipFilter::Point, MipFilter::Box}) {
        const auto file = WriteM32(*texture->trueColour, {mips, texture->fields});
        if (!file) {
            continue; // too large for the format
        }
        // Names may have been cut to fit and floats may be NaN, so the fields read back are
        // checked by writing them again: the same bytes.
        const auto back = DecodeM32(*file, nullptr, LevelsWanted::First);
        if (!back || back->trueColour->pixels != texture->trueColour->pixels ||
            WriteM32(*back->trueColour, {mips, back->fields}) != file) {
            std::abort();
        }
    }
    return 0;
}
