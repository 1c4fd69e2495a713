// .wal reader: picture and header fields from hostile bytes, the look inside, then both writers.

#include "FuzzOutput.h"
#include "formats/Formats.h"
#include "formats/mips/WalFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    auto image = ReadWalImage(bytes);
    InspectTexture(bytes, SourceFormat::Wal);
    if (image) {
        fuzz::ConvertBoth(*image, WalPalette, ReadWalFields(bytes));
    }
    return 0;
}
