#pragma once

// What an EditSession holds: its documents, each with its state as edited and as last saved, and
// the steps of its history. Shared by the session's sources only.

#include "archives/ArchiveListing.h"
#include "edit/EditSession.h"
#include "formats/FieldEdits.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

// A document's contents at one moment: small, as entries share their bytes.
struct DocumentState {
    std::vector<EditedEntry> entries;                       // an archive's
    std::shared_ptr<const std::vector<std::uint8_t>> bytes; // a texture file's

    bool operator==(const DocumentState&) const = default;
};

// What tells that a file changed on disk: its size and time of change.
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed{};
    bool present = false;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

struct Document {
    std::string path;
    DocumentKind kind = DocumentKind::Texture;
    std::optional<WadKind> wadKind;
    std::optional<EditableFormat> format; // a texture file's
    bool longEntries = false;             // a pak of 72-byte directory entries
    const ArchiveKindRow* row = nullptr;  // how an archive's entries are read
    DocumentState current;
    DocumentState saved;
    FileStamp stamp;
};

// One document's states either side of a step.
struct StepChange {
    std::size_t document = 0;
    DocumentState before;
    DocumentState after;
};

struct SessionState {
    std::vector<Document> documents;
    std::vector<std::vector<StepChange>> undo;
    std::vector<std::vector<StepChange>> redo;
};

// The name field's size of an archive's entries, its terminating zero included.
std::size_t EntryNameSize(const Document& document);

// Whether `entry` of a wad is a mip texture, whose own name field follows its directory name.
bool IsWadMipTexture(const Document& document, const EditedEntry& entry);

// The bytes of `entry` of `document`: its own, or read from the file.
std::optional<std::vector<std::uint8_t>> EntryBytes(const Document& document,
                                                    const EditedEntry& entry, std::string& reason);

// Saves one modified document; none when saved, else why not.
std::optional<std::string> SaveDocument(SessionState& state, std::size_t document);

} // namespace texelary
