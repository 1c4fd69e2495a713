#pragma once

// Nearest-neighbour scaling by two single-precision factors: every target pixel takes the value
// of one source pixel, found by stepping through the source with single-precision accumulators.
// The writers make every mip level with it (factors 2^-i).

#include "image/IndexedImage.h"

#include <cstddef>
#include <cstdint>

namespace texelary {

// The size of one side after scaling: size x factor formed exactly, truncated toward zero,
// never below 0.
std::int32_t ScaledSize(std::int32_t size, float factor);

// Writes the source scaled by the two factors into caller-owned memory of ScaledSize(width) x
// ScaledSize(height) bytes, so that a writer builds each mip level straight into its output
// buffer. Picked rows and columns always lie inside the source, whatever the factors. The source
// never changes; throws std::bad_alloc when memory for its column table runs out.
void Resample(std::uint8_t* target, const PixelView& source, float horizontalFactor,
              float verticalFactor);

} // namespace texelary
