// .wal reader from hostile bytes, then both writers.

#include "FuzzOutput.h"
#include "texture/WalFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    auto image = ParseWalImage(std::span<const std::uint8_t>(data, size));
    if (image) {
        fuzz::ConvertBoth(*image, WalPalette);
    }
    return 0;
}
