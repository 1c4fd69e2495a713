#include "formats/TextureInfo.h"

#include "base/NativePath.h"
#include "formats/BmpFormat.h"
#include "formats/M8Format.h"
#include "formats/PcxFormat.h"
#include "formats/PngFormat.h"
#include "formats/TgaFormat.h"
#include "formats/WalFormat.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cctype>
#include <filesystem>

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

// Checks the level table of a mip texture against the format's rules: each level half the one
// before, the levels with pixels back to back from the end of the header, the others at offset
// 0, and the file ending with the last level.
void CheckLevels(const StoredLevels& stored, std::size_t fileSize, TextureInfo& info) {
    const auto& levels = stored.levels;
    if (!SizesFollow(levels, false) && !SizesFollow(levels, true)) {
        for (std::size_t i = 1; i < levels.size(); ++i) {
            const StoredLevel halved = HalvedLevel(levels[i - 1], false);
            if (levels[i].width != halved.width || levels[i].height != halved.height) {
                info.ruleBreaks.push_back("level " + std::to_string(i) + " is " +
                                          SizeText(levels[i].width, levels[i].height) +
                                          ", not half of level " + std::to_string(i - 1) + " (" +
                                          SizeText(halved.width, halved.height) + ")");
                break;
            }
        }
    }
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
        position += count;
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

std::size_t DistinctIndices(const IndexedImage& image) {
    std::bitset<256> used;
    const std::size_t count =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    for (std::size_t i = 0; i < count; ++i) {
        used.set(image.pixels[i]);
    }
    return used.count();
}

// A picture of an everyday format: one level, no header fields, indices only when it has a
// palette.
std::optional<TextureInfo> InspectPicture(std::span<const std::uint8_t> file, TextureKind kind,
                                          ReadError* error) {
    std::optional<DecodedPicture> picture;
    if (kind == TextureKind::Png) {
        picture = ParsePngPicture(file, error);
    } else if (kind == TextureKind::Tga) {
        picture = ParseTgaPicture(file, error);
    } else {
        picture = ParsePcxPicture(file, error);
    }
    if (!picture) {
        return std::nullopt;
    }
    TextureInfo info;
    info.kind = kind;
    if (picture->IsIndexed()) {
        info.width = picture->indexed->width;
        info.height = picture->indexed->height;
        info.distinctIndices = DistinctIndices(*picture->indexed);
    } else {
        info.width = picture->trueColour->width;
        info.height = picture->trueColour->height;
    }
    info.levels.push_back({info.width, info.height, 0});
    return info;
}

} // namespace

const char* KindName(TextureKind kind) {
    switch (kind) {
    case TextureKind::Bmp:
        return "bmp";
    case TextureKind::M8:
        return "m8";
    case TextureKind::Wal:
        return "wal";
    case TextureKind::Png:
        return "png";
    case TextureKind::Tga:
        return "tga";
    case TextureKind::Pcx:
        return "pcx";
    }
    return "unknown";
}

std::optional<TextureKind> KindOfPath(const std::string& path) {
    std::string extension = Utf8Path(NativePath(path).extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const TextureKind kind : {TextureKind::Bmp, TextureKind::M8, TextureKind::Wal,
                                   TextureKind::Png, TextureKind::Tga, TextureKind::Pcx}) {
        if (extension == std::string(".") + KindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

std::optional<TextureInfo> InspectTexture(std::span<const std::uint8_t> file, TextureKind kind,
                                          ReadError* error) {
    if (kind == TextureKind::Png || kind == TextureKind::Tga || kind == TextureKind::Pcx) {
        return InspectPicture(file, kind, error);
    }
    std::unique_ptr<IndexedImage> image;
    switch (kind) {
    case TextureKind::Bmp:
        image = ParseBmpImage(file, error);
        break;
    case TextureKind::M8:
        image = ParseM8Image(file, error);
        break;
    case TextureKind::Wal:
        image = ParseWalImage(file, error);
        break;
    case TextureKind::Png:
    case TextureKind::Tga:
    case TextureKind::Pcx:
        break;
    }
    if (!image) {
        return std::nullopt;
    }
    TextureInfo info;
    info.kind = kind;
    info.width = image->width;
    info.height = image->height;
    info.distinctIndices = DistinctIndices(*image);
    switch (kind) {
    case TextureKind::Bmp: {
        info.levels.push_back({image->width, image->height, 0});
        Palette palette{};
        if (!ParseBmpPalette(palette, file)) {
            info.ruleBreaks.push_back("not a 256-colour bitmap");
        }
        break;
    }
    case TextureKind::M8: {
        const StoredLevels stored = ParseM8Levels(file);
        if (stored.version != 2) {
            info.ruleBreaks.push_back("version " + std::to_string(stored.version.value_or(0)) +
                                      ", not 2");
        }
        CheckLevels(stored, file.size(), info);
        info.fields = ParseM8Fields(file);
        break;
    }
    case TextureKind::Wal:
        CheckLevels(ParseWalLevels(file), file.size(), info);
        info.fields = ParseWalFields(file);
        break;
    case TextureKind::Png:
    case TextureKind::Tga:
    case TextureKind::Pcx:
        break;
    }
    return info;
}

} // namespace texelary
