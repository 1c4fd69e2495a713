#include "cli/SetCommand.h"

#include "archives/Archive.h"
#include "archives/ArchiveListing.h"
#include "archives/WadArchive.h"
#include "base/FileIo.h"
#include "base/WriteError.h"
#include "formats/FieldEdits.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <span>

namespace texelary {

namespace {

// An archive is copied in pieces of this size, so that its copy costs no more memory than this.
constexpr std::size_t kCopyPiece = std::size_t{1} << 20;

struct BytePatch {
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
};

// The archive at `path` copied piece by piece into a file beside it, `patches` written over the
// copy, and the copy put in its place once whole.
bool RewriteArchive(const std::string& path, std::span<const BytePatch> patches,
                    std::string& reason) {
    ReplacingFile out(path);
    ReadError readError = ReadError::None;
    {
        // Closed before the copy replaces it: Windows replaces no file that is open.
        ArchiveFile file(path);
        readError = file.Error();
        for (std::uint64_t at = 0; file.Ok() && out.Ok() && at < file.Size(); at += kCopyPiece) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(kCopyPiece, file.Size() - at));
            const auto piece = file.Read(at, length, &readError);
            if (!piece) {
                break;
            }
            out.Write(*piece);
        }
    }
    if (readError != ReadError::None) {
        reason = DescribeReadError(readError);
        return false;
    }
    for (const BytePatch& patch : patches) {
        out.OverwriteAt(patch.offset, patch.bytes);
    }
    if (!out.Commit()) {
        reason = DescribeWriteError(out.Error());
        return false;
    }
    return true;
}

// A wad texture's new name, in its own name field and its directory entry.
bool RenameWadTexture(const std::string& wad, const OpenedArchive& archive,
                      const StoredEntry& entry, std::span<const FieldEdit> edits,
                      std::string& reason) {
    const bool namesOnly = std::all_of(edits.begin(), edits.end(),
                                       [](const FieldEdit& edit) { return edit.key == "name"; });
    if (!namesOnly || !archive.Directory().IsMipTexture(entry)) {
        reason = namesOnly ? "not a mip texture" : "a wad texture has only a name to set";
        return false;
    }
    const std::string& name = edits.back().value;
    if (const ReadError refused = CheckEntryName(name, kWadNameSize); refused != ReadError::None) {
        reason = "the name \"" + name + "\" does not fit a wad: " + DescribeReadError(refused);
        return false;
    }
    if (const StoredEntry* other = archive.Find(name); other != nullptr && other != &entry) {
        reason = "the wad already has an entry named \"" + other->name + "\"";
        return false;
    }
    const auto index = static_cast<std::uint64_t>(&entry - archive.Directory().entries.data());
    const std::uint64_t lumpOffset = entry.offset;
    ReadError error = ReadError::None;
    const auto place = [&wad, &error] {
        // Closed again before the wad is rewritten.
        ArchiveFile file(wad);
        error = file.Error();
        const auto header = file.Ok() ? file.Read(0, kWadHeaderSize, &error) : std::nullopt;
        return header ? ParseWadHeader(*header, file.Size(), &error) : std::nullopt;
    }();
    if (!place) {
        reason = DescribeReadError(error);
        return false;
    }
    std::vector<std::uint8_t> field(kWadNameSize);
    StoreTextField(field.data(), field.size(), name);
    const BytePatch patches[] = {
        {lumpOffset, field},
        {place->directory.offset + index * kWadEntryLength + kWadEntryName, field},
    };
    return RewriteArchive(wad, patches, reason);
}

// The fields of a texture in a pak, or the name of one in a wad, set in a new copy of it.
bool SetInArchive(const PathInArchive& path, std::span<const FieldEdit> edits,
                  std::string& reason) {
    const OpenedArchive& archive = ArchiveAt(path.archive);
    const StoredEntry* entry =
        archive.Error() == ReadError::None ? archive.Find(path.entry) : nullptr;
    if (entry == nullptr || archive.Directory().map) {
        reason = archive.Error() != ReadError::None ? DescribeReadError(archive.Error())
                 : archive.Directory().map          ? "a map's textures are not set in place"
                                                    : "no such entry in the archive";
        return false;
    }
    if (archive.Directory().mipTextures) {
        return RenameWadTexture(path.archive, archive, *entry, edits, reason);
    }
    ReadError error = ReadError::None;
    auto bytes = entry->coded ? std::nullopt : archive.Read(*entry, &error);
    const auto format = bytes ? EditableFormatOf(entry->name, *bytes) : std::nullopt;
    if (!format) {
        reason = entry->coded ? "a run-length coded entry is not set in place"
                 : bytes      ? "not a .wal, .m8, .m32 or .swl texture"
                              : DescribeReadError(error);
        return false;
    }
    const std::uint64_t offset = entry->offset;
    if (!ApplyFieldEdits(*bytes, *format, edits, reason)) {
        return false;
    }
    const BytePatch patch[] = {{offset, std::move(*bytes)}};
    return RewriteArchive(path.archive, patch, reason);
}

bool SetInFile(const std::string& path, std::span<const FieldEdit> edits, std::string& reason) {
    ReadError error = ReadError::None;
    auto bytes = ReadInputFile(path, &error);
    const auto format = bytes ? EditableFormatOf(path, *bytes) : std::nullopt;
    if (!format) {
        reason = bytes ? "not a .wal, .m8, .m32 or .swl texture" : DescribeReadError(error);
        return false;
    }
    if (!ApplyFieldEdits(*bytes, *format, edits, reason)) {
        return false;
    }
    WriteError written = WriteError::None;
    if (!WriteFileReplacing(path, *bytes, &written)) {
        reason = DescribeWriteError(written);
        return false;
    }
    return true;
}

} // namespace

int RunSet(const std::string& edits, const std::vector<std::string>& files, std::ostream& errors) {
    std::string reason;
    const auto parsed = ParseFieldEdits(edits, reason);
    std::size_t failed = 0;
    for (const std::string& path : files) {
        const auto inArchive = parsed ? SplitArchivePath(path) : std::nullopt;
        const bool set = parsed && (inArchive ? SetInArchive(*inArchive, *parsed, reason)
                                              : SetInFile(path, *parsed, reason));
        if (!set) {
            errors << "texelary-convert: " << path << ": " << reason << '\n';
            ++failed;
        }
    }
    if (failed == 0) {
        errors << "All done\n";
    }
    errors << files.size() - failed << " set, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}

} // namespace texelary
