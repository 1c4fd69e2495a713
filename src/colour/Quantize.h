#pragma once

// True colour brought down to a palette of the picture's own, as a .m8 texture stores it.

#include "colour/NearestColour.h"
#include "image/IndexedImage.h"
#include "image/RgbaImage.h"

#include <memory>

namespace texelary {

// A new picture of the same size, and in `palette` the colours its pixels index. A picture of
// at most 256 colours (255 when a transparent index is asked for) keeps its colours exactly, in
// the order they first appear; any other gets the palette that libimagequant makes at its best
// quality from the histogram of all its opaque colours, refined over the same histogram, and
// each pixel the nearest colour of it by the measure of MapToPalette (and the same error
// diffusion, when asked for). The histogram knows no order of pixels, so a picture turned or
// mirrored gets the same palette, and no colour is missed for being rare. With a transparent index,
// pixels less than half opaque take that index, its palette entry is black, and the picture's
// colours fill the other 255. Entries left over are black. Null when memory runs out or the
// quantiser fails, and in a build without libimagequant for a picture of more colours than fit;
// `palette` is then untouched.
std::unique_ptr<IndexedImage> QuantizeToOwnPalette(const RgbaImage& image, Palette& palette,
                                                   const TrueColourOptions& options = {});

// Keeps the quantiser's work on the calling thread from now on. libimagequant spreads its work
// over OpenMP threads of its own, as many as there are cores; a conversion run that already
// converts a file per core on threads of its own would otherwise start that many again for each
// (and on a busy machine the extra threads cost more than they gain). Does nothing where the
// library has no such threads.
void QuantizeOnCallingThreadOnly();

} // namespace texelary
