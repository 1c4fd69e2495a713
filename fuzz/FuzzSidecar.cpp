// Sidecar reader from hostile bytes; accepted fields must write and read back unchanged.

#include "formats/Sidecar.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    std::string reason;
    const auto fields = ParseSidecar(std::span<const std::uint8_t>(data, size), reason);
    if (!fields) {
        if (reason.empty()) {
            std::abort();
        }
        return 0;
    }
    const auto bytes = EncodeSidecar(64, 64, *fields);
    const auto again = ParseSidecar(bytes, reason);
    if (!again || !(*again == *fields)) {
        std::abort();
    }
    return 0;
}
