// .swl reader: picture, levels, palette and header fields from hostile bytes, the look inside,
// then the .swl writer (which must read back as written) and both other writers.

#include "FuzzOutput.h"
#include "formats/mips/SwlFormat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    DecodeSwl(bytes, nullptr, LevelsWanted::All);
    InspectSwl(bytes, nullptr);
    auto texture = DecodeSwl(bytes, nullptr, LevelsWanted::First);
    if (!texture) {
        return 0;
    }
    const auto swl = WriteSwl(*texture->indexed, texture->palette,
                              WriteOptions(MipFilter::Box, texture->fields));
    if (swl) {
        // Compared as written bytes, since a float field may hold a NaN, which equals nothing.
        const auto back = DecodeSwl(*swl, nullptr, LevelsWanted::All);
        if (!back || back->indexed->width != texture->indexed->width ||
            back->indexed->height != texture->indexed->height ||
            back->palette != texture->palette ||
            WriteSwl(*back->indexed, back->palette, WriteOptions(MipFilter::Box, back->fields)) !=
                swl) {
            std::abort();
        }
    }
    fuzz::ConvertBoth(*texture->indexed, texture->palette, texture->fields);
    return 0;
}
