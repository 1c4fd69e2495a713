// PNG reader (libspng) from hostile bytes, then the rest of a conversion.

#include "FuzzOutput.h"
#include "formats/pictures/PngFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    auto picture = ParsePngPicture(std::span<const std::uint8_t>(data, size));
    if (picture) {
        fuzz::ConvertDecoded(*picture);
    }
    return 0;
}
