#include "archives/ArchiveInput.h"
#include "archives/ArchiveOutput.h"
#include "base/FileIo.h"
#include "base/NativePath.h"
#include "convert/ConvertEntry.h"
#include "edit/EditSession.h"
#include "formats/FieldEdits.h"
#include "formats/Formats.h"
#include "formats/ReadError.h"
#include "formats/TextureInfo.h"

#include <filesystem>
#include <system_error>

namespace texelary {

std::string ExtractedName(const EditSession& session, std::size_t document, std::size_t entry) {
    const std::string& name = session.Entries(document).at(entry).name;
    return session.WadKindOf(document) ? FileNameOfLump(name) : name;
}

bool Extract(const EditSession& session, std::size_t document, std::span<const std::size_t> entries,
             const std::string& folder, std::string& reason) {
    const auto& held = session.Entries(document);
    for (const std::size_t entry : entries) {
        if (entry >= held.size() || (held[entry].stored && held[entry].stored->outside)) {
            reason = entry >= held.size()
                         ? "no such entry in the archive"
                         : held[entry].name + ": " + DescribeReadError(ReadError::TextureOutside);
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

// The picture converted as a run converts it to `to`, for `path` inside an archive: under `name`
// (a WAD3 name beginning with '{' making its see-through pixels index 255), and with `fields`
// when given.
std::optional<std::vector<std::uint8_t>>
Converted(const std::string& picture, const TargetFormatRow& to, const std::string& path,
          const std::string& name, std::optional<HeaderFields> fields, std::string& reason) {
    const auto from = SourceFormatOfPath(picture);
    if (!from) {
        reason = "not a picture or texture file";
        return std::nullopt;
    }
    EntryRecipe recipe;
    recipe.from = &RowOf(*from);
    recipe.to = &to;
    recipe.intoArchive = true;
    recipe.options.write.fields = std::move(fields);
    EntryTask task;
    task.inputPath = picture;
    task.textureName = name;
    task.outputPath = path;
    task.seeThrough = to.wad == WadKind::Wad3 && name.starts_with('{');
    EntryResult result = ConvertEntry(recipe, task);
    if (result.stage != EntryStage::Written || result.outputs.empty() ||
        !result.outputs.front().bytes) {
        reason = !result.reasonDetail.empty()       ? result.reasonDetail
                 : result.reason != ReadError::None ? DescribeReadError(result.reason)
                 : !result.outputs.empty()          ? result.outputs.front().why
                                                    : "the picture could not be converted";
        return std::nullopt;
    }
    return std::move(*result.outputs.front().bytes);
}

const TargetFormatRow& WadRow(WadKind kind) {
    return RowOf(kind == WadKind::Wad2 ? TargetFormat::Wad2 : TargetFormat::Wad3);
}

TargetFormat TargetOf(EditableFormat format) {
    switch (format) {
    case EditableFormat::Wal:
        return TargetFormat::Wal;
    case EditableFormat::Wal3:
        return TargetFormat::Wal3;
    case EditableFormat::M8:
        return TargetFormat::M8;
    case EditableFormat::M32:
        return TargetFormat::M32;
    case EditableFormat::Swl:
        return TargetFormat::Swl;
    }
    return TargetFormat::Wal;
}

// A pak's texture file replaced: by a file of its own kind as it is, or by any picture converted
// to the texture's format with the texture's header fields.
std::optional<std::vector<std::uint8_t>> PakReplacement(const EditSession& session,
                                                        std::size_t document, std::size_t entry,
                                                        const std::string& picture,
                                                        std::string& reason) {
    const std::string& name = session.Entries(document)[entry].name;
    const auto kind = SourceFormatOfPath(name);
    if (kind && kind == SourceFormatOfPath(picture)) {
        ReadError error = ReadError::None;
        auto bytes = ReadInputFile(picture, &error);
        if (!bytes) {
            reason = DescribeReadError(error);
        }
        return bytes;
    }
    const auto old = session.Bytes({document, entry}, reason);
    const auto format = old ? EditableFormatOf(name, *old) : std::nullopt;
    ReadError error = ReadError::None;
    const auto info = format ? InspectTexture(*old, *kind, &error) : std::nullopt;
    if (!info || !info->fields) {
        reason = !old      ? reason
                 : !format ? "a pak's " + name + " is replaced only by a file of its own kind"
                           : DescribeReadError(error);
        return std::nullopt;
    }
    return Converted(picture, RowOf(TargetOf(*format)), session.Path(document) + "/" + name,
                     info->fields->name, info->fields, reason);
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReplacementOf(const EditSession& session,
                                                       std::size_t document, std::size_t entry,
                                                       const std::string& picture,
                                                       std::string& reason) {
    if (entry >= session.Entries(document).size()) {
        reason = "no such entry in the archive";
        return std::nullopt;
    }
    const EditedEntry& held = session.Entries(document)[entry];
    const auto wad = session.WadKindOf(document);
    if (!wad) {
        return PakReplacement(session, document, entry, picture, reason);
    }
    if (held.type != MipTextureType(*wad)) {
        reason = "only a wad's textures are replaced by pictures";
        return std::nullopt;
    }
    return Converted(picture, WadRow(*wad), session.Path(document) + "/" + held.name, held.name,
                     std::nullopt, reason);
}

namespace {

// The picture converted as a run into a wad of `kind` converts it, under the run's name for it.
std::optional<EditSession::NewEntry> MipTextureOf(const std::string& archive, WadKind kind,
                                                  const std::string& picture, std::string& reason) {
    const ArchiveTarget target{archive, kind, false, false, {}};
    bool cut = false;
    std::string name = ArchiveEntryName(target, FileNameOf(picture), cut);
    auto bytes = Converted(picture, WadRow(kind), archive + "/" + name, name, std::nullopt, reason);
    if (!bytes) {
        return std::nullopt;
    }
    return EditSession::NewEntry{std::move(name), std::move(*bytes), MipTextureType(kind)};
}

} // namespace

std::optional<EditSession::NewEntry>
EntryOfPicture(const EditSession& session, std::size_t document, const std::string& picture,
               const std::string& folder, std::string& reason) {
    if (session.Kind(document) == DocumentKind::Wad) {
        return MipTextureOf(session.Path(document), *session.WadKindOf(document), picture, reason);
    }
    if (session.Kind(document) != DocumentKind::Pak) {
        reason = session.Kind(document) == DocumentKind::Map ? "a map takes no new textures"
                                                             : "a texture file holds no entries";
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
