#include "formats/HeaderFields.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace texelary {

std::string LoadTextField(const std::uint8_t* field, std::size_t size) {
    const std::uint8_t* end = std::find(field, field + size, std::uint8_t{0});
    return {field, end};
}

std::string_view CutAtCharacter(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t length = maxBytes;
    // Bytes 10xxxxxx continue a character; back off over them to the byte that starts it.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    return text.substr(0, length);
}

bool NamesFit(const HeaderFields& fields, std::size_t fieldSize) {
    return fields.name.size() < fieldSize && fields.animationName.size() < fieldSize;
}

void StoreTextField(std::uint8_t* field, std::size_t size, std::string_view text) {
    const std::string_view kept = CutAtCharacter(text, size - 1);
    std::memset(field, 0, size);
    if (!kept.empty()) {
        std::memcpy(field, kept.data(), kept.size());
    }
}

void StoreHeaderFields(std::uint8_t* header, const HeaderFieldOffsets& at,
                       const HeaderFields& fields) {
    StoreTextField(header + at.name, kTextureNameFieldSize, fields.name);
    StoreTextField(header + at.animationName, kTextureNameFieldSize, fields.animationName);
    StoreLE32(header + at.flags, fields.flags);
    StoreLE32(header + at.contents, fields.contents);
    StoreLE32(header + at.value, fields.value);
}

} // namespace texelary
