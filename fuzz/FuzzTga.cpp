// TGA reader from hostile bytes, then the rest of a conversion.

#include "FuzzOutput.h"
#include "formats/pictures/TgaFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    auto picture = ParseTgaPicture(std::span<const std::uint8_t>(data, size));
    if (picture) {
        fuzz::ConvertDecoded(*picture);
    }
    return 0;
}
