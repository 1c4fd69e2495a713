#include "archives/ArchiveInput.h"

#include "formats/Formats.h"

namespace texelary {

namespace {

// An input in an archive that cannot be read fails as one reason, BadArchive, with the archive's
// own beside it; memory running out is the input's own.
std::nullopt_t RefuseArchive(ReadError archiveError, ReadError* error, std::string* detail) {
    if (archiveError == ReadError::OutOfMemory) {
        SetReason(error, ReadError::OutOfMemory);
        return std::nullopt;
    }
    SetReason(error, ReadError::BadArchive);
    if (detail != nullptr) {
        *detail = DescribeReadError(archiveError);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, ReadError* error,
                                                   std::optional<WadKind> mipTexturesOf,
                                                   std::string* detail) {
    const auto inArchive = SplitArchivePath(path);
    if (!inArchive) {
        if (mipTexturesOf) {
            SetReason(error, ReadError::NotInWad);
            return std::nullopt;
        }
        return ReadInputFile(path, error);
    }
    const OpenedArchive& archive = ArchiveAt(inArchive->archive);
    if (archive.Error() != ReadError::None) {
        return RefuseArchive(archive.Error(), error, detail);
    }
    const std::optional<WadKind> wad = archive.Directory().mipTextures;
    if (mipTexturesOf && wad != mipTexturesOf) {
        SetReason(error, wad ? ReadError::WrongWadKind : ReadError::NotInWad);
        return std::nullopt;
    }
    const StoredEntry* entry = archive.Find(inArchive->entry);
    if (entry == nullptr) {
        SetReason(error, ReadError::NoSuchFile);
        return std::nullopt;
    }
    if (entry->outside) {
        SetReason(error, ReadError::TextureOutside);
        return std::nullopt;
    }
    if (mipTexturesOf && !archive.Directory().IsMipTexture(*entry)) {
        SetReason(error, ReadError::NotMipTexture);
        return std::nullopt;
    }
    ReadError reason = ReadError::None;
    auto bytes = archive.Read(*entry, &reason);
    if (!bytes) {
        return RefuseArchive(reason, error, detail);
    }
    SetReason(error, ReadError::None);
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
    ReadError error = ReadError::None;
    auto names = ListArchiveEntries(path, {}, format, ListingDepth::Recursive, &error);
    if (!names) {
        reason = DescribeReadError(error);
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
