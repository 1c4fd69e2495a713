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

// Makes `target` (which must have no buffer) the source scaled by the two factors: sets its
// width and height and gives it a new buffer. False when the target already has a buffer (the
// target is then untouched) or memory cannot be had (the target keeps the new width and height
// and has no buffer). The source never changes.
bool Resample(IndexedImage& target, const PixelView& source, float horizontalFactor,
              float verticalFactor);
bool Resample(IndexedImage& target, const IndexedImage& source, float horizontalFactor,
              float verticalFactor);

// The same sampling into caller-owned memory of ScaledSize(width) x ScaledSize(height) bytes,
// so that a writer can build each mip level straight into its output buffer. Picked rows and
// columns always lie inside the source, whatever the factors.
void ResampleInto(std::uint8_t* target, const PixelView& source, float horizontalFactor,
                  float verticalFactor);

} // namespace texelary
