// Project file loader from hostile bytes; an accepted project must save and load back unchanged.

#include "project/ProjectFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace texelary;
    const auto project = ParseProject(std::span<const std::uint8_t>(data, size));
    if (project) {
        const auto bytes = EncodeProject(*project);
        const auto again = ParseProject(bytes);
        if (!again || !(*again == *project)) {
            std::abort();
        }
    }
    return 0;
}
