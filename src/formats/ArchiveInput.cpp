#include "formats/ArchiveInput.h"

#include "formats/Formats.h"

namespace texelary {

namespace {

ReadError ReadErrorOf(ArchiveError error) {
    return error == ArchiveError::OutOfMemory ? ReadError::OutOfMemory : ReadError::BadArchive;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error,
                                                   std::optional<WadKind> mipTexturesOf) {
    const auto inArchive = SplitArchivePath(path);
    if (!inArchive) {
        if (mipTexturesOf) {
            SetReadError(error, ReadError::NotInWad);
            return std::nullopt;
        }
        return ReadInputFile(path, error);
    }
    const OpenedArchive& archive = ArchiveAt(inArchive->archive);
    if (archive.Error() != ArchiveError::None) {
        SetReadError(error, ReadErrorOf(archive.Error()));
        return std::nullopt;
    }
    const std::optional<WadKind> wad = archive.Directory().mipTextures;
    if (mipTexturesOf && wad != mipTexturesOf) {
        SetReadError(error, wad ? ReadError::WrongWadKind : ReadError::NotInWad);
        return std::nullopt;
    }
    const StoredEntry* entry = archive.Find(inArchive->entry);
    if (entry == nullptr) {
        SetReadError(error, ReadError::NoSuchFile);
        return std::nullopt;
    }
    if (mipTexturesOf && !archive.Directory().IsMipTexture(*entry)) {
        SetReadError(error, ReadError::NotMipTexture);
        return std::nullopt;
    }
    ArchiveError reason = ArchiveError::None;
    auto bytes = archive.Read(*entry, &reason);
    if (!bytes) {
        SetReadError(error, ReadErrorOf(reason));
        return std::nullopt;
    }
    SetReadError(error, ReadError::None);
    return bytes;
}

std::optional<std::vector<std::string>> ArchiveEntryNames(const std::string& path,
                                                          std::string& reason,
                                                          std::optional<WadKind> mipTexturesOf) {
    // A wad's kind is that of one of the formats of its textures.
    std::optional<SourceFormat> format;
    for (const SourceFormatRow& row : SourceFormatRows()) {
        if (mipTexturesOf && row.wad == mipTexturesOf) {
            format = row.format;
        }
    }
    ArchiveError error = ArchiveError::None;
    auto names = ListArchiveEntries(path, {}, format, ListingDepth::Recursive, &error);
    if (!names) {
        reason = DescribeArchiveError(error);
    }
    return names;
}

std::string FileNameOfLump(const std::string& lump) {
    std::string name = lump;
    if (!name.empty() && name.front() == '*') {
        name.front() = '#';
    }
    return name;
}

std::string LumpNameOfFile(const std::string& name) {
    std::string lump = name;
    if (!lump.empty() && lump.front() == '#') {
        lump.front() = '*';
    }
    return lump;
}

} // namespace texelary
