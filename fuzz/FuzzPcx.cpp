// PCX reader from hostile bytes, then the rest of a conversion.

#include "FuzzOutput.h"
#include "formats/pictures/PcxFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    auto picture = ParsePcxPicture(std::span<const std::uint8_t>(data, size));
    if (picture) {
        fuzz::ConvertDecoded(*picture);
    }
    return 0;
}
