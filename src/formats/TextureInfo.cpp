#include "formats/TextureInfo.h"

#include "formats/mips/M8Format.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/BmpFormat.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace texelary {

namespace {

std::string SizeText(std::int32_t width, std::int32_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// Level i of a W x H picture by the two ways of halving that files show: both sides halved and
// rounded down to 0, or (averaged chains) a side of 1 kept at 1 until the chain ends at 1 x 1.
StoredLevel HalvedLevel(const StoredLevel& above, bool keepOne) {
    if (!keepOne) {
        return {above.width / 2, above.height / 2, 0};
    }
    if (above.width <= 1 && above.height <= 1) {
        return {0, 0, 0};
    }
    return {above.width > 1 ? above.width / 2 : 1, above.height > 1 ? above.height / 2 : 1, 0};
}

bool SizesFollow(const std::vector<StoredLevel>& levels, bool keepOne) {
    for (std::size_t i = 1; i < levels.size(); ++i) {
        const StoredLevel expected = HalvedLevel(levels[i - 1], keepOne);
        if (levels[i].width != expected.width || levels[i].height != expected.height) {
            return false;
        }
    }
    return true;
}

} // namespace

void CheckLevelSizes(const std::vector<StoredLevel>& levels, TextureInfo& info) {
    if (SizesFollow(levels, false) || SizesFollow(levels, true)) {
        return;
    }
    for (std::size_t i = 1; i < levels.size(); ++i) {
        const StoredLevel halved = HalvedLevel(levels[i - 1], false);
        if (levels[i].width != halved.width || levels[i].height != halved.height) {
            info.ruleBreaks.push_back("level " + std::to_string(i) + " is " +
                                      SizeText(levels[i].width, levels[i].height) +
                                      ", not half of level " + std::to_string(i - 1) + " (" +
                                      SizeText(halved.width, halved.height) + ")");
            return;
        }
    }
}

void CheckLevels(const StoredLevels& stored, std::size_t fileSize, TextureInfo& info) {
    constexpr std::int64_t kFarPastAnyFile = std::int64_t{1} << 62;
    const auto& levels = stored.levels;
    CheckLevelSizes(levels, info);
    std::int64_t position = static_cast<std::int64_t>(stored.headerSize);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const StoredLevel& level = levels[i];
        const std::int64_t count =
            level.width > 0 && level.height > 0 ? std::int64_t{level.width} * level.height : 0;
        const std::string which = "level " + std::to_string(i);
        if (count == 0) {
            if (level.offset != 0) {
                info.ruleBreaks.push_back(which + " has no pixels but offset " +
                                          std::to_string(level.offset));
            }
            continue;
        }
        if (level.offset != position) {
            info.ruleBreaks.push_back(which + " starts at " + std::to_string(level.offset) +
                                      ", not right after the one before (" +
                                      std::to_string(position) + ")");
        }
        info.levels.push_back(level);
        // Each count is below 2^62 (two sides below 2^31), so the sum cannot overflow before it
        // is held there: far past any file either way.
        position = std::min(position + count, kFarPastAnyFile);
    }
    const auto size = static_cast<std::int64_t>(fileSize);
    if (size < position) {
        info.ruleBreaks.push_back("the file ends at " + std::to_string(size) +
                                  ", before the end of its last level (" +
                                  std::to_string(position) + ")");
    } else if (size > position) {
        const std::int64_t extra = size - position;
        info.ruleBreaks.push_back("the file goes on " + std::to_string(extra) +
                                  (extra == 1 ? " byte" : " bytes") + " past its last level");
    }
}

namespace {

std::size_t DistinctIndices(const IndexedImage& image) {
    std::bitset<256> used;
    const std::size_t count =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    for (std::size_t i = 0; i < count; ++i) {
        used.set(image.pixels[i]);
    }
    return used.count();
}

} // namespace

TextureInfo InfoOfImage(const IndexedImage& image) {
    TextureInfo info;
    info.width = image.width;
    info.height = image.height;
    info.distinctIndices = DistinctIndices(image);
    return info;
}

std::optional<TextureInfo> InspectPicture(std::span<const std::uint8_t> file, TextureDecoder decode,
                                          ReadError* error) {
    const std::optional<DecodedTexture> picture = decode(file, error, LevelsWanted::First);
    if (!picture) {
        return std::nullopt;
    }
    TextureInfo info;
    if (picture->IsIndexed()) {
        info = InfoOfImage(*picture->indexed);
    } else {
        info.width = picture->trueColour->width;
        info.height = picture->trueColour->height;
    }
    info.levels.push_back({info.width, info.height, 0});
    return info;
}

std::optional<TextureInfo> InspectBmp(std::span<const std::uint8_t> file, ReadError* error) {
    ReadError reason = ReadError::None;
    const auto bitmap = DecodeBmp(file, &reason, LevelsWanted::First);
    if (!bitmap) {
        SetReason(error, reason);
        return std::nullopt;
    }
    SetReason(error, ReadError::None);
    TextureInfo info = InfoOfImage(*bitmap->indexed);
    info.levels.push_back({info.width, info.height, 0});
    if (!bitmap->paletteRead) {
        info.ruleBreaks.push_back("not a 256-colour bitmap");
    }
    return info;
}

namespace {

// What a .m8 or .wal file shows, from its header: none, with the reason, when its reader refuses
// the header or level 0. A stored version other than `expectedVersion` breaks the rules.
std::optional<TextureInfo> InspectStored(std::span<const std::uint8_t> file,
                                         std::optional<MipFileHeader> header,
                                         std::int32_t expectedVersion, ReadError* error) {
    if (!header) {
        return std::nullopt;
    }
    const auto texture = DecodeStoredTexture(file, *header, LevelsWanted::First, error);
    if (!texture) {
        return std::nullopt;
    }
    TextureInfo info = InfoOfImage(*texture->indexed);
    const std::optional<std::int32_t> version = header->stored.version;
    info.version = version;
    if (version && *version != expectedVersion) {
        info.ruleBreaks.push_back("version " + std::to_string(*version) + ", not " +
                                  std::to_string(expectedVersion));
    }
    CheckLevels(header->stored, file.size(), info);
    info.fields = std::move(header->fields);
    return info;
}

} // namespace

std::optional<TextureInfo> InspectM8(std::span<const std::uint8_t> file, ReadError* error) {
    return InspectStored(file, ReadM8Header(file, error), 2, error);
}

std::optional<TextureInfo> InspectWal(std::span<const std::uint8_t> file, ReadError* error) {
    // Only a version-3 file stores a version, and it is always 3.
    return InspectStored(file, ReadWalHeader(file, error), 3, error);
}

std::optional<TextureInfo> InspectMipTexture(std::span<const std::uint8_t> lump, WadKind kind,
                                             ReadError* error) {
    ReadError refused = ReadError::None;
    const auto texture = DecodeMipTexture(lump, kind, &refused);
    if (!texture) {
        SetReason(error, ReadErrorOfMipTexture(refused));
        return std::nullopt;
    }
    TextureInfo info = InfoOfImage(*texture->image);
    // A WAD3 lump's palette follows its last level.
    using MipTextureLayout::kPaletteSize;
    const std::size_t levelsEnd = kind == WadKind::Wad3 && lump.size() >= kPaletteSize
                                      ? lump.size() - kPaletteSize
                                      : lump.size();
    CheckLevels(*ReadMipTextureLevels(lump), levelsEnd, info);
    return info;
}

} // namespace texelary
