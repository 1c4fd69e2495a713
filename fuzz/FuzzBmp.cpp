// Bitmap reader: picture and palette from hostile bytes, then both writers.

#include "FuzzOutput.h"
#include "formats/pictures/BmpFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    Palette palette{};
    const bool paletteRead = ReadBmpPalette(palette, bytes);
    auto image = ReadBmpImage(bytes);
    if (image && paletteRead) {
        fuzz::ConvertBoth(*image, palette);
    }
    return 0;
}
