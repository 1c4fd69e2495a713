// Mip texture lumps: the bytes as a WAD2 lump and as a WAD3 one; each texture read is written
// back as a lump and must read back the same. The wad harness sends the textures of its lumps
// through both writers; here the time goes to the lump reader alone: with the writers, whose
// nearest-colour tables are made anew whenever the palette changes, it ran 500 times slower.

#include "FuzzMipTexture.h"
#include "formats/mips/MipTexture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    for (const WadKind kind : {WadKind::Wad2, WadKind::Wad3}) {
        const auto texture = DecodeMipTexture(bytes, kind);
        if (texture) {
            fuzz::CheckMipTexture(*texture, kind);
        }
    }
    return 0;
}
