#include "archives/ArchiveInput.h"
#include "archives/ArchiveOutput.h"
#include "base/FileIo.h"
#include "base/NativePath.h"
#include "convert/ConvertEntry.h"
#include "edit/EditSession.h"
#include "formats/Formats.h"
#include "formats/ReadError.h"

#include <filesystem>
#include <system_error>

namespace texelary {

std::string ExtractedName(const EditSession& session, std::size_t document, std::size_t entry) {
    const std::string& name = session.Entries(document).at(entry).name;
    return session.Kind(document) == DocumentKind::Wad ? FileNameOfLump(name) : name;
}

bool Extract(const EditSession& session, std::size_t document, std::span<const std::size_t> entries,
             const std::string& folder, std::string& reason) {
    const auto& held = session.Entries(document);
    for (const std::size_t entry : entries) {
        if (entry >= held.size()) {
            reason = "no such entry in the archive";
            return false;
        }
        const auto bytes = session.Bytes({document, entry}, reason);
        if (!bytes) {
            return false;
        }
        // Names passed CheckEntryName when read or given, so each stays under `folder`.
        const std::filesystem::path path =
            NativePath(folder) / NativePath(ExtractedName(session, document, entry));
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        WriteError written = WriteError::None;
        if (!WriteFileReplacing(Utf8Path(path), *bytes, &written)) {
            reason = held[entry].name + ": " + DescribeWriteError(written);
            return false;
        }
    }
    return true;
}

namespace {

std::string FileNameOf(const std::string& path) {
    return Utf8Path(NativePath(path).filename());
}

// The picture converted as a run into a wad of `kind` converts it, under the run's name for it.
std::optional<EditSession::NewEntry> MipTextureOf(const std::string& archive, WadKind kind,
                                                  const std::string& picture, std::string& reason) {
    const auto from = SourceFormatOfPath(picture);
    if (!from) {
        reason = "not a picture or texture file";
        return std::nullopt;
    }
    const ArchiveTarget target{archive, kind, false, false, {}};
    EntryRecipe recipe;
    recipe.from = &RowOf(*from);
    recipe.to = &RowOf(kind == WadKind::Wad2 ? TargetFormat::Wad2 : TargetFormat::Wad3);
    recipe.intoArchive = true;
    EntryTask task;
    task.inputPath = picture;
    task.textureName = ArchiveEntryName(target, FileNameOf(picture), task.nameCut);
    task.outputPath = archive + "/" + task.textureName;
    task.seeThrough = kind == WadKind::Wad3 && task.textureName.starts_with('{');
    EntryResult result = ConvertEntry(recipe, task);
    if (result.stage != EntryStage::Written || result.outputs.empty() ||
        !result.outputs.front().bytes) {
        reason = !result.reasonDetail.empty()       ? result.reasonDetail
                 : result.reason != ReadError::None ? DescribeReadError(result.reason)
                 : !result.outputs.empty()          ? result.outputs.front().why
                                                    : "the picture could not be converted";
        return std::nullopt;
    }
    return EditSession::NewEntry{task.textureName, std::move(*result.outputs.front().bytes),
                                 MipTextureType(kind)};
}

} // namespace

std::optional<EditSession::NewEntry>
EntryOfPicture(const EditSession& session, std::size_t document, const std::string& picture,
               const std::string& folder, std::string& reason) {
    if (session.Kind(document) == DocumentKind::Wad) {
        return MipTextureOf(session.Path(document), *session.WadKindOf(document), picture, reason);
    }
    if (session.Kind(document) != DocumentKind::Pak) {
        reason = "a texture file holds no entries";
        return std::nullopt;
    }
    ReadError error = ReadError::None;
    auto bytes = ReadInputFile(picture, &error);
    if (!bytes) {
        reason = DescribeReadError(error);
        return std::nullopt;
    }
    const ArchiveTarget target{session.Path(document), std::nullopt, false, false, folder};
    bool cut = false;
    return EditSession::NewEntry{ArchiveEntryName(target, FileNameOf(picture), cut),
                                 std::move(*bytes), 0};
}

} // namespace texelary
