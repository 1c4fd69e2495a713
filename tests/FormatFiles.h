#pragma once

// The readers and writers of the mip texture and bitmap formats on files rather than bytes, for
// tests that make their inputs and check their outputs on disk. Names are UTF-8, as the program
// holds them.

#include "base/FileIo.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/BmpFormat.h"

#include <memory>
#include <string>

namespace texelary::test {

inline std::unique_ptr<IndexedImage> ReadBmpImageFile(const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return bytes ? ReadBmpImage(*bytes) : nullptr;
}

inline bool ReadBmpPaletteFile(Palette& palette, const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return bytes && ReadBmpPalette(palette, *bytes);
}

inline std::unique_ptr<IndexedImage> ReadM8ImageFile(const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return bytes ? ReadM8Image(*bytes) : nullptr;
}

inline bool ReadM8PaletteFile(Palette& palette, const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return bytes && ReadM8Palette(palette, *bytes);
}

inline std::unique_ptr<IndexedImage> ReadWalImageFile(const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return bytes ? ReadWalImage(*bytes) : nullptr;
}

inline bool WriteM8File(const IndexedImage& image, const Palette& palette, const std::string& path,
                        const WriteOptions& options = {}) {
    const auto bytes = WriteM8(image, palette, options);
    return bytes && WriteFileReplacing(path, *bytes);
}

inline bool WriteWalFile(const IndexedImage& image, const Palette& palette, const std::string& path,
                         const WriteOptions& options = {}) {
    const auto bytes = WriteWal(image, palette, options);
    return bytes && WriteFileReplacing(path, *bytes);
}

} // namespace texelary::test
