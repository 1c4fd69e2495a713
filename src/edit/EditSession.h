#pragma once

// Textures changed in place: the header fields of texture files, the entries of wads and paks
// renamed, removed, added, replaced, reordered and copied from one archive to another, and a
// compiled map's textures replaced by pictures of their size. Every edit is held until Save, and
// can be undone and redone until then; one call is one step, however many textures it touches.
// Save writes each changed file whole through a temporary file beside it, which replaces the old
// one only once complete, and never overwrites, unasked, a file that was changed on disk since it
// was opened. An archive is read entry by entry, never whole: an edit holds the bytes of the
// entries it made, the rest stay where they are on disk until Save copies them.

#include "archives/ArchiveListing.h"
#include "formats/FieldEdits.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// What kind of file a document is.
enum class DocumentKind : std::uint8_t {
    Texture, // a texture file of an EditableFormat: its header fields can be set
    Wad,     // a WAD2 or WAD3 wad
    Pak,     // a pak, with the 64-byte directory entries or the 72-byte ones
    // A compiled map holding its textures: they keep their names, sizes and places, and only
    // their pixels (and a version-30 map's palettes) are replaced.
    Map,
};

// One entry of an archive as edited.
struct EditedEntry {
    std::string name;
    std::uint8_t type = 0; // a wad lump's type; 0 in a pak
    // Where its bytes lie in the file as opened; none once it has bytes of its own.
    std::optional<StoredEntry> stored;
    // Its bytes when an edit made them (added, replaced, fields set); null while `stored` holds.
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;

    bool operator==(const EditedEntry&) const = default;
};

// A texture file, or one entry of an archive: what field edits are applied to.
struct EditTarget {
    std::size_t document = 0;
    std::optional<std::size_t> entry; // none for a texture file

    bool operator==(const EditTarget&) const = default;
};

// What Save did with one changed document.
struct SaveOutcome {
    std::size_t document = 0;
    bool saved = false;
    bool changedOnDisk = false; // not saved because the file changed since it was opened
    std::string reason;         // why it was not saved
};

class EditSession {
public:
    EditSession();
    ~EditSession();
    EditSession(const EditSession&) = delete;
    EditSession& operator=(const EditSession&) = delete;

    // The document of the file at `path` (UTF-8), opened now or earlier: a texture file of an
    // EditableFormat, a wad, a pak or a map that holds its textures. None, with the reason, for
    // any other file or one that cannot be read.
    std::optional<std::size_t> Open(const std::string& path, std::string& reason);
    std::size_t DocumentCount() const;
    const std::string& Path(std::size_t document) const;
    DocumentKind Kind(std::size_t document) const;
    // The kind of wad whose mip textures a wad's or a map's are; none for any other document.
    std::optional<WadKind> WadKindOf(std::size_t document) const;
    // An archive's entries as edited, in their order; empty for a texture file.
    const std::vector<EditedEntry>& Entries(std::size_t document) const;
    // The bytes of a texture file, or of an archive's entry, as edited; none with the reason
    // when they cannot be read.
    std::optional<std::vector<std::uint8_t>> Bytes(const EditTarget& target,
                                                   std::string& reason) const;
    // Whether the document differs from the file it was opened from.
    bool Modified(std::size_t document) const;
    bool Modified() const; // any document

    // Field edits (see FieldEdits.h) applied to every target, one step: a texture file, an
    // editable texture in a pak, or a wad's mip texture, which takes only `name` (its directory
    // entry and its own name field). All or nothing: false, with the first target's reason,
    // when any target refuses them.
    bool SetFields(std::span<const EditTarget> targets, std::span<const FieldEdit> edits,
                   std::string& reason);
    // The animation names of `chain`'s textures set so that each names the next and the last the
    // first, the order of the frames an engine plays; one step.
    bool SetChain(std::span<const EditTarget> chain, std::string& reason);

    // Archive edits, each one step. An entry's name follows the archive's rules (CheckEntryName
    // with its name field) and is not taken by another entry (in any case in a wad).
    bool Rename(std::size_t document, std::size_t entry, const std::string& name,
                std::string& reason);
    // Refused for a map's textures.
    bool Remove(std::size_t document, std::span<const std::size_t> entries, std::string& reason);
    // New entries at `at` (the end when past it), each name as above.
    struct NewEntry {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::uint8_t type = 0;
    };
    bool Add(std::size_t document, std::size_t at, std::vector<NewEntry> entries,
             std::string& reason);
    // An entry given other bytes: a wad's mip texture another picture of any size, a map's one of
    // its own size.
    bool Replace(std::size_t document, std::size_t entry, std::vector<std::uint8_t> bytes,
                 std::string& reason);
    // `entries` moved, in their order, to stand before the entry now at `before` (the end when
    // past it); a map's stay where they are.
    void Move(std::size_t document, std::span<const std::size_t> entries, std::size_t before);
    // `entries` of one archive copied to the end of another of the same kind (moved when `move`,
    // one step for both): merging two wads; or a map's textures copied into a wad. Refused for a
    // WAD2 and a WAD3, whose textures index different palettes, or for a name the other archive
    // already holds.
    bool Copy(std::size_t from, std::span<const std::size_t> entries, std::size_t to, bool move,
              std::string& reason);

    bool CanUndo() const;
    bool CanRedo() const;
    void Undo();
    void Redo();

    // The documents whose files changed on disk (size or time of change) since they were opened.
    std::vector<std::size_t> ChangedOnDisk() const;
    // Writes every modified document; one changed on disk is left as it is unless `overwrite`.
    // A saved document becomes the file as opened; the history is kept.
    std::vector<SaveOutcome> Save(bool overwrite = false);
    // Drops every edit and document.
    void Close();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Writes `entries` of an archive document as files under `folder`, each at its ExtractedName;
// false, with the reason of the first that failed.
// Where Extract writes an entry, from the folder: its name ('/' making folders), a wad liquid's
// '*', which Windows takes in no file name, written '#' as the engines' tools write it.
std::string ExtractedName(const EditSession& session, std::size_t document, std::size_t entry);

bool Extract(const EditSession& session, std::size_t document, std::span<const std::size_t> entries,
             const std::string& folder, std::string& reason);

// The entry a picture file (a bitmap, PNG, TGA or PCX, or a texture the run reads) becomes in a
// document: in a WAD2 a mip texture on its fixed palette, full-bright colours as the run allows
// them; in a WAD3 one with its own palette, a name beginning with '{' making its see-through
// pixels index 255; in a pak the file as it is, under `folder`. Its name is the run's for the
// archive. None, with the reason, when the picture cannot be read.
std::optional<EditSession::NewEntry> EntryOfPicture(const EditSession& session,
                                                    std::size_t document,
                                                    const std::string& picture,
                                                    const std::string& folder, std::string& reason);

// The bytes a picture gives `entry` of an archive document when it replaces it: a wad's or a
// map's mip texture converted as EntryOfPicture converts it, but under the entry's own name (a
// WAD3 name beginning with '{' making its see-through pixels index 255); a pak's file as it is
// when the picture is of its kind, else, for a texture of an EditableFormat, the picture
// converted to that format with the texture's header fields. None, with the reason, for any other
// entry or a picture that cannot be read.
std::optional<std::vector<std::uint8_t>> ReplacementOf(const EditSession& session,
                                                       std::size_t document, std::size_t entry,
                                                       const std::string& picture,
                                                       std::string& reason);

} // namespace texelary
