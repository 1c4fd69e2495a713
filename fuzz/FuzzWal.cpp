// .wal reader: picture and header fields from hostile bytes, the look inside, then both writers.

#include "FuzzOutput.h"
#include "formats/TextureInfo.h"
#include "formats/WalFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    auto image = ParseWalImage(bytes);
    InspectTexture(bytes, TextureKind::Wal);
    if (image) {
        fuzz::ConvertBoth(*image, WalPalette, ParseWalFields(bytes));
    }
    return 0;
}
