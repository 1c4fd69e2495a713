// .m8 reader: picture, palette and header fields from hostile bytes, the look inside, then both
// writers.

#include "FuzzOutput.h"
#include "formats/Formats.h"
#include "formats/mips/M8Format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    Palette palette{};
    const bool paletteRead = ReadM8Palette(palette, bytes);
    auto image = ReadM8Image(bytes);
    InspectTexture(bytes, SourceFormat::M8);
    if (image && paletteRead) {
        fuzz::ConvertBoth(*image, palette, ReadM8Fields(bytes));
    }
    return 0;
}
