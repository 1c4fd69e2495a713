#pragma once

// Mip texture files of every format whose header fields can be set, written with known fields and
// patterned pixels, and the bytes of a field as a header stores it, for building expected files.

#include "TestImages.h"
#include "colour/WalPalette.h"
#include "formats/DecodedTexture.h"
#include "formats/FieldEdits.h"
#include "formats/HeaderFields.h"
#include "formats/WriteOptions.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/SwlFormat.h"
#include "formats/mips/WalFormat.h"
#include "image/RgbaImage.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace texelary::test {

inline HeaderFields KnownFields() {
    HeaderFields fields;
    fields.name = "old/name";
    fields.animationName = "old/next";
    fields.flags = 0x8;           // SURF_WARP
    fields.contents = 0x2 | 0x20; // CONTENTS_WINDOW | CONTENTS_WATER
    fields.value = 7;
    return fields;
}

// A 16 x 16 texture of `format` with KnownFields, its pixels all different from one another.
inline std::vector<std::uint8_t> FieldFile(EditableFormat format) {
    const IndexedImage image =
        MakePicture(16, 16, [](int x, int y) { return static_cast<std::uint8_t>(x * 16 + y); });
    HeaderFields fields = KnownFields();
    switch (format) {
    case EditableFormat::Wal:
        return *WriteWal(image, WalPalette, WriteOptions({}, fields));
    case EditableFormat::Wal3:
        return *WriteWal3(image, WalPalette, WriteOptions({}, fields));
    case EditableFormat::M8:
        return *WriteM8(image, WalPalette, WriteOptions({}, fields));
    case EditableFormat::Swl:
        fields.swl = SwlFields{};
        return *WriteSwl(image, WalPalette, WriteOptions({}, fields));
    case EditableFormat::M32:
        fields.m32 = M32Fields{};
        return *WriteM32(*ExpandToRgba(image, WalPalette, DecodedTexture::MakeOpaqueAlpha()),
                         WriteOptions({}, fields));
    }
    return {};
}

// `bytes` with `text` stored in the field of `size` bytes at `offset`, the rest of it zero.
inline void PatchText(std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t size,
                      std::string_view text) {
    std::memset(bytes.data() + offset, 0, size);
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

inline void PatchLE(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value,
                    std::size_t width = 4) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void PatchFloat(std::vector<std::uint8_t>& bytes, std::size_t offset, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PatchLE(bytes, offset, bits);
}

} // namespace texelary::test
