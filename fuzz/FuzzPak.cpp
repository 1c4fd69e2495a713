// Pak reader: the header and the directory from hostile bytes, as the reader takes them from a
// file; every entry accepted must lie inside the file, after the header, with a name that passes,
// and a run-length coded one decodes to exactly its length or is refused.

#include "archives/PakArchive.h"
#include "base/ByteOrder.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const std::span<const std::uint8_t> bytes(data, size);
    const auto place = ParsePakHeader(bytes.first(std::min(size, kPakHeaderSize)), size);
    if (!place) {
        return 0;
    }
    if (place->offset < kPakHeaderSize || !FitsIn(size, place->offset, place->length)) {
        std::abort();
    }
    const auto entries = ParsePakDirectory(bytes.subspan(place->offset, place->length), size);
    for (const PakEntry& entry : entries ? *entries : std::vector<PakEntry>{}) {
        if (entry.offset < kPakHeaderSize || !FitsIn(size, entry.offset, entry.length) ||
            CheckEntryName(entry.name) != ReadError::None) {
            std::abort();
        }
        if (entry.decoded) {
            const auto decoded =
                DecodePakRuns(bytes.subspan(entry.offset, entry.length), *entry.decoded);
            if (decoded && decoded->size() != *entry.decoded) {
                std::abort();
            }
        }
    }
    return 0;
}
