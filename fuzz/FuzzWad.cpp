// WAD2 and WAD3 reader: the header and the directory from hostile bytes, as the reader takes them
// from a file; every lump accepted must lie inside the file with a name that passes, and every
// mip texture lump is decoded, written back, and sent through both writers.

#include "FuzzMipTexture.h"
#include "FuzzOutput.h"
#include "archives/WadArchive.h"
#include "base/ByteOrder.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    const auto header = ParseWadHeader(bytes.first(std::min(size, kWadHeaderSize)), size);
    if (!header) {
        return 0;
    }
    const DirectoryPlace& place = header->directory;
    if (place.offset < kWadHeaderSize || !FitsIn(size, place.offset, place.length)) {
        std::abort();
    }
    const auto lumps = ParseWadDirectory(bytes.subspan(place.offset, place.length), size);
    for (const WadLump& lump : lumps ? *lumps : std::vector<WadLump>{}) {
        if (lump.offset < kWadHeaderSize || !FitsIn(size, lump.offset, lump.sizeOnDisk) ||
            CheckEntryName(lump.name) != ReadError::None || lump.name.size() > 15) {
            std::abort();
        }
        if (lump.type == MipTextureType(header->kind)) {
            auto texture =
                DecodeMipTexture(bytes.subspan(lump.offset, lump.sizeOnDisk), header->kind);
            if (texture) {
                fuzz::CheckMipTexture(*texture, header->kind);
                fuzz::ConvertBoth(*texture->image, texture->palette);
            }
        }
    }
    return 0;
}
