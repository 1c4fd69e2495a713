#include "edit/EditSession.h"

#include "archives/PakArchive.h"
#include "archives/WadArchive.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "edit/EditState.h"
#include "formats/Formats.h"
#include "formats/HeaderFields.h"
#include "formats/ReadError.h"
#include "formats/TextureInfo.h"
#include "formats/mips/MipTexture.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <utility>

namespace texelary {

namespace {

constexpr const char* kNotEditable = "not a .wal, .m8, .m32 or .swl texture";

// The pak's directory entries are 72 bytes when its directory's length says so.
bool HasLongEntries(const std::string& path, std::size_t count) {
    ArchiveFile file(path);
    ReadError error = ReadError::None;
    const auto header = file.Ok() ? file.Read(0, kPakHeaderSize, &error) : std::nullopt;
    const auto place = header ? ParsePakHeader(*header, file.Size(), &error) : std::nullopt;
    return place && count > 0 && place->length / count == 72;
}

std::optional<Document> OpenArchive(const std::string& path, std::string& reason) {
    const OpenedArchive archive(path);
    if (archive.Error() != ReadError::None) {
        reason = DescribeReadError(archive.Error());
        return std::nullopt;
    }
    Document document;
    document.path = path;
    document.row = archive.Kind();
    document.wadKind = archive.Directory().mipTextures;
    document.kind = archive.Directory().map ? DocumentKind::Map
                    : document.wadKind      ? DocumentKind::Wad
                                            : DocumentKind::Pak;
    for (const StoredEntry& stored : archive.Directory().entries) {
        document.current.entries.push_back({stored.name, stored.type, stored, nullptr});
    }
    if (document.kind == DocumentKind::Pak) {
        document.longEntries = HasLongEntries(path, document.current.entries.size());
    }
    return document;
}

std::optional<Document> OpenTexture(const std::string& path, std::string& reason) {
    ReadError error = ReadError::None;
    auto bytes = ReadInputFile(path, &error);
    const auto format = bytes ? EditableFormatOf(path, *bytes) : std::nullopt;
    if (!format) {
        reason = bytes ? kNotEditable : DescribeReadError(error);
        return std::nullopt;
    }
    Document document;
    document.path = path;
    document.format = format;
    document.current.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
    return document;
}

// What tells two names of one file apart from names of two files: the path with its links,
// "." and ".." resolved, so that a document is found again in one look-up however it is named.
std::string PathKey(const std::string& path) {
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    std::filesystem::path key = std::filesystem::weakly_canonical(native, error);
    if (error) {
        key = std::filesystem::absolute(native, error).lexically_normal();
    }
    return Utf8Path(key);
}

constexpr const char* kMapFixed =
    "a map's textures keep their names and places: only their pictures are replaced";

// Names compared as the archive looks them up: in any case in a wad.
bool SameName(const Document& document, const std::string& a, const std::string& b) {
    return document.kind == DocumentKind::Wad ? AsciiLower(a) == AsciiLower(b) : a == b;
}

const char* ArchiveWord(const Document& document) {
    return document.kind == DocumentKind::Wad ? "wad" : "pak";
}

// The size a mip texture lump gives its picture; none for a lump that cannot be read.
std::optional<std::pair<std::int32_t, std::int32_t>>
LumpSize(const std::optional<std::vector<std::uint8_t>>& lump) {
    const auto levels = lump ? ReadMipTextureLevels(*lump) : std::nullopt;
    return levels ? std::optional(std::pair(levels->levels[0].width, levels->levels[0].height))
                  : std::nullopt;
}

std::string SizeText(const std::pair<std::int32_t, std::int32_t>& size) {
    return std::to_string(size.first) + " x " + std::to_string(size.second);
}

// Whether `bytes` may replace the map's texture `entry`: a mip texture of its size, for a texture
// whose pixels the map holds; else why not.
bool FitsMapTexture(const Document& document, const EditedEntry& entry,
                    const std::vector<std::uint8_t>& bytes, std::string& reason) {
    if (entry.stored && entry.stored->outside) {
        reason = DescribeReadError(ReadError::TextureOutside);
        return false;
    }
    const auto size = LumpSize(bytes);
    const auto mapSize = LumpSize(EntryBytes(document, entry, reason));
    if (!size || !mapSize) {
        reason = size ? "the map's texture cannot be read: " + reason
                      : std::string("the new picture is no mip texture");
        return false;
    }
    if (*size != *mapSize) {
        reason = "the map's texture is " + SizeText(*mapSize) + " and the picture " +
                 SizeText(*size) + ": a map's textures are replaced only by pictures of their size";
        return false;
    }
    return true;
}

// Whether `name` may name an entry of `state`, the entry `self` apart; else why not.
bool NameAllowed(const Document& document, const DocumentState& state, const std::string& name,
                 std::optional<std::size_t> self, std::string& reason) {
    if (const ReadError refused = CheckEntryName(name, EntryNameSize(document));
        refused != ReadError::None) {
        reason = "the name \"" + name + "\" does not fit a " + ArchiveWord(document) + ": " +
                 DescribeReadError(refused);
        return false;
    }
    for (std::size_t i = 0; i < state.entries.size(); ++i) {
        if (i != self && SameName(document, state.entries[i].name, name)) {
            reason = std::string("the ") + ArchiveWord(document) +
                     " already has an entry named \"" + state.entries[i].name + "\"";
            return false;
        }
    }
    return true;
}

// `entry` renamed in `state`: a wad's mip texture in its own name field too.
bool RenameIn(const Document& document, DocumentState& state, std::size_t entry,
              const std::string& name, std::string& reason) {
    if (entry >= state.entries.size() || document.kind == DocumentKind::Map) {
        reason = entry >= state.entries.size() ? "no such entry in the archive" : kMapFixed;
        return false;
    }
    if (!NameAllowed(document, state, name, entry, reason)) {
        return false;
    }
    EditedEntry& edited = state.entries[entry];
    if (IsWadMipTexture(document, edited)) {
        auto bytes = EntryBytes(document, edited, reason);
        if (!bytes || bytes->size() < kWadNameSize) {
            reason = bytes ? "the mip texture is too short to hold a name" : reason;
            return false;
        }
        StoreTextField(bytes->data(), kWadNameSize, name);
        edited.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
        edited.stored.reset();
    }
    edited.name = name;
    return true;
}

bool OnlyNames(std::span<const FieldEdit> edits) {
    return !edits.empty() && std::all_of(edits.begin(), edits.end(),
                                         [](const FieldEdit& edit) { return edit.key == "name"; });
}

// The field edits applied to one target of `state`.
bool SetFieldsIn(const Document& document, DocumentState& state, const EditTarget& target,
                 std::span<const FieldEdit> edits, std::string& reason) {
    if (document.kind == DocumentKind::Texture) {
        auto bytes = *state.bytes;
        if (!ApplyFieldEdits(bytes, *document.format, edits, reason)) {
            return false;
        }
        state.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        return true;
    }
    if (!target.entry || *target.entry >= state.entries.size()) {
        reason = "no such entry in the archive";
        return false;
    }
    EditedEntry& entry = state.entries[*target.entry];
    if (document.kind == DocumentKind::Map) {
        reason = kMapFixed;
        return false;
    }
    if (document.kind == DocumentKind::Wad) {
        if (!OnlyNames(edits) || !IsWadMipTexture(document, entry)) {
            reason =
                OnlyNames(edits) ? "not a mip texture" : "a wad texture has only a name to set";
            return false;
        }
        return RenameIn(document, state, *target.entry, edits.back().value, reason);
    }
    auto bytes = EntryBytes(document, entry, reason);
    const auto format = bytes ? EditableFormatOf(entry.name, *bytes) : std::nullopt;
    if (!format) {
        reason = bytes ? kNotEditable : reason;
        return false;
    }
    if (!ApplyFieldEdits(*bytes, *format, edits, reason)) {
        return false;
    }
    entry.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
    entry.stored.reset();
    return true;
}

// The distinct indices of `entries` below `count`, in the order given.
std::vector<std::size_t> ValidIndices(std::span<const std::size_t> entries, std::size_t count) {
    std::vector<std::size_t> valid;
    for (const std::size_t entry : entries) {
        if (entry < count && std::find(valid.begin(), valid.end(), entry) == valid.end()) {
            valid.push_back(entry);
        }
    }
    return valid;
}

void RemoveFrom(DocumentState& state, std::vector<std::size_t> entries) {
    std::sort(entries.begin(), entries.end(), std::greater<>());
    for (const std::size_t entry : entries) {
        state.entries.erase(state.entries.begin() + static_cast<std::ptrdiff_t>(entry));
    }
}

} // namespace

struct EditSession::State : SessionState {};

FileStamp StampOf(const std::string& path) {
    std::error_code error;
    const auto native = NativePath(path);
    FileStamp stamp;
    stamp.size = std::filesystem::file_size(native, error);
    if (!error) {
        stamp.changed = std::filesystem::last_write_time(native, error);
    }
    stamp.present = !error;
    if (error) {
        stamp = FileStamp{};
    }
    return stamp;
}

std::size_t EntryNameSize(const Document& document) {
    return document.kind == DocumentKind::Wad ? kWadNameSize : kPakNameSize;
}

bool IsWadMipTexture(const Document& document, const EditedEntry& entry) {
    return document.wadKind && entry.type == MipTextureType(*document.wadKind);
}

std::optional<std::vector<std::uint8_t>> EntryBytes(const Document& document,
                                                    const EditedEntry& entry, std::string& reason) {
    if (entry.bytes) {
        return *entry.bytes;
    }
    ArchiveFile file(document.path);
    ReadError error = file.Error();
    auto bytes = file.Ok() ? document.row->readEntry(file, *entry.stored, &error) : std::nullopt;
    if (!bytes) {
        reason = DescribeReadError(error);
    }
    return bytes;
}

EditSession::EditSession()
    : m_state(std::make_unique<State>()) {}

EditSession::~EditSession() = default;

std::optional<std::size_t> EditSession::Open(const std::string& path, std::string& reason) {
    const std::string key = PathKey(path);
    if (const auto known = m_state->byPath.find(key); known != m_state->byPath.end()) {
        return known->second;
    }
    const FileStamp stamp = StampOf(path);
    auto document = IsArchiveFile(path) ? OpenArchive(path, reason) : OpenTexture(path, reason);
    if (!document) {
        return std::nullopt;
    }
    document->saved = document->current;
    document->stamp = stamp;
    m_state->documents.push_back(std::move(*document));
    m_state->byPath.emplace(key, m_state->documents.size() - 1);
    return m_state->documents.size() - 1;
}

std::size_t EditSession::DocumentCount() const {
    return m_state->documents.size();
}

const std::string& EditSession::Path(std::size_t document) const {
    return m_state->documents.at(document).path;
}

DocumentKind EditSession::Kind(std::size_t document) const {
    return m_state->documents.at(document).kind;
}

std::optional<WadKind> EditSession::WadKindOf(std::size_t document) const {
    return m_state->documents.at(document).wadKind;
}

const std::vector<EditedEntry>& EditSession::Entries(std::size_t document) const {
    return m_state->documents.at(document).current.entries;
}

std::optional<std::vector<std::uint8_t>> EditSession::Bytes(const EditTarget& target,
                                                            std::string& reason) const {
    if (target.document >= m_state->documents.size()) {
        reason = "no such document";
        return std::nullopt;
    }
    const Document& document = m_state->documents[target.document];
    if (document.kind == DocumentKind::Texture) {
        return *document.current.bytes;
    }
    if (!target.entry || *target.entry >= document.current.entries.size()) {
        reason = "no such entry in the archive";
        return std::nullopt;
    }
    return EntryBytes(document, document.current.entries[*target.entry], reason);
}

bool EditSession::Modified(std::size_t document) const {
    const Document& held = m_state->documents.at(document);
    return held.current != held.saved;
}

bool EditSession::Modified() const {
    return std::any_of(m_state->documents.begin(), m_state->documents.end(),
                       [](const Document& document) { return document.current != document.saved; });
}

namespace {

// Records one step of the changed documents' states and makes them current; a step that changes
// nothing is not recorded.
void RecordStep(SessionState& state, std::vector<std::pair<std::size_t, DocumentState>> after) {
    std::vector<StepChange> step;
    for (auto& [document, changed] : after) {
        DocumentState& current = state.documents[document].current;
        if (changed != current) {
            step.push_back({document, current, changed});
            current = std::move(changed);
        }
    }
    if (!step.empty()) {
        state.undo.push_back(std::move(step));
        state.redo.clear();
    }
}

// The edits `editsOf(i)` applied to each target `i`, one step; all or nothing.
template <class EditsOf>
bool SetEach(SessionState& state, std::span<const EditTarget> targets, EditsOf editsOf,
             std::string& reason) {
    std::vector<std::pair<std::size_t, DocumentState>> after;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const EditTarget& target = targets[i];
        if (target.document >= state.documents.size()) {
            reason = "no such document";
            return false;
        }
        auto held = std::find_if(after.begin(), after.end(), [&](const auto& change) {
            return change.first == target.document;
        });
        if (held == after.end()) {
            after.emplace_back(target.document, state.documents[target.document].current);
            held = std::prev(after.end());
        }
        const std::vector<FieldEdit> edits = editsOf(i);
        if (!SetFieldsIn(state.documents[target.document], held->second, target, edits, reason)) {
            return false;
        }
    }
    RecordStep(state, std::move(after));
    return true;
}

// The name a texture's own header gives it, which other textures' animation names refer to.
std::optional<std::string> HeaderName(const SessionState& state, const EditTarget& target,
                                      std::string& reason) {
    const Document& document = state.documents.at(target.document);
    const bool file = document.kind == DocumentKind::Texture;
    if (!file && (!target.entry || *target.entry >= document.current.entries.size())) {
        reason = "no such entry in the archive";
        return std::nullopt;
    }
    const std::string& path = file ? document.path : document.current.entries[*target.entry].name;
    const auto bytes = file ? std::optional(*document.current.bytes)
                            : EntryBytes(document, document.current.entries[*target.entry], reason);
    const auto format = bytes ? SourceFormatOfPath(path) : std::nullopt;
    ReadError error = ReadError::None;
    const auto info = format ? InspectTexture(*bytes, *format, &error) : std::nullopt;
    if (!info || !info->fields) {
        reason = !bytes ? reason : info ? kNotEditable : DescribeReadError(error);
        return std::nullopt;
    }
    return info->fields->name;
}

} // namespace

bool EditSession::SetFields(std::span<const EditTarget> targets, std::span<const FieldEdit> edits,
                            std::string& reason) {
    const std::vector<FieldEdit> all(edits.begin(), edits.end());
    return SetEach(
        *m_state, targets, [&all](std::size_t) { return all; }, reason);
}

bool EditSession::SetChain(std::span<const EditTarget> chain, std::string& reason) {
    std::vector<std::string> names;
    for (const EditTarget& target : chain) {
        auto name = HeaderName(*m_state, target, reason);
        if (!name) {
            return false;
        }
        names.push_back(std::move(*name));
    }
    const auto next = [&names](std::size_t i) {
        return std::vector<FieldEdit>{{"animation", names[(i + 1) % names.size()]}};
    };
    return SetEach(*m_state, chain, next, reason);
}

bool EditSession::Rename(std::size_t document, std::size_t entry, const std::string& name,
                         std::string& reason) {
    DocumentState state = m_state->documents.at(document).current;
    if (!RenameIn(m_state->documents[document], state, entry, name, reason)) {
        return false;
    }
    RecordStep(*m_state, {{document, std::move(state)}});
    return true;
}

bool EditSession::Remove(std::size_t document, std::span<const std::size_t> entries,
                         std::string& reason) {
    if (Kind(document) == DocumentKind::Map) {
        reason = kMapFixed;
        return false;
    }
    DocumentState state = m_state->documents.at(document).current;
    RemoveFrom(state, ValidIndices(entries, state.entries.size()));
    RecordStep(*m_state, {{document, std::move(state)}});
    return true;
}

bool EditSession::Add(std::size_t document, std::size_t at, std::vector<NewEntry> entries,
                      std::string& reason) {
    const Document& held = m_state->documents.at(document);
    if (held.kind == DocumentKind::Texture || held.kind == DocumentKind::Map) {
        reason = held.kind == DocumentKind::Map ? kMapFixed : "a texture file holds no entries";
        return false;
    }
    DocumentState state = held.current;
    auto place =
        state.entries.begin() + static_cast<std::ptrdiff_t>(std::min(at, state.entries.size()));
    for (NewEntry& entry : entries) {
        if (!NameAllowed(held, state, entry.name, std::nullopt, reason)) {
            return false;
        }
        auto bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(entry.bytes));
        place = std::next(state.entries.insert(
            place, EditedEntry{std::move(entry.name), entry.type, std::nullopt, std::move(bytes)}));
    }
    RecordStep(*m_state, {{document, std::move(state)}});
    return true;
}

bool EditSession::Replace(std::size_t document, std::size_t entry, std::vector<std::uint8_t> bytes,
                          std::string& reason) {
    const Document& held = m_state->documents.at(document);
    DocumentState state = held.current;
    if (entry >= state.entries.size()) {
        reason = "no such entry in the archive";
        return false;
    }
    EditedEntry& edited = state.entries[entry];
    if (held.kind == DocumentKind::Map && !FitsMapTexture(held, edited, bytes, reason)) {
        return false;
    }
    if (IsWadMipTexture(held, edited)) {
        if (bytes.size() < kWadNameSize) {
            reason = "the mip texture is too short to hold a name";
            return false;
        }
        // The texture keeps the entry's name, as a rename keeps both names alike.
        StoreTextField(bytes.data(), kWadNameSize, edited.name);
    }
    edited.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    edited.stored.reset();
    RecordStep(*m_state, {{document, std::move(state)}});
    return true;
}

void EditSession::Move(std::size_t document, std::span<const std::size_t> entries,
                       std::size_t before) {
    if (Kind(document) == DocumentKind::Map) {
        return;
    }
    DocumentState state = m_state->documents.at(document).current;
    const std::vector<std::size_t> moved = ValidIndices(entries, state.entries.size());
    std::vector<EditedEntry> taken;
    for (const std::size_t entry : moved) {
        taken.push_back(state.entries[entry]);
    }
    // The entries left before `before` decide where the moved ones go.
    const auto ahead = static_cast<std::size_t>(std::count_if(
        moved.begin(), moved.end(), [before](std::size_t entry) { return entry < before; }));
    const std::size_t at = std::min(before, state.entries.size()) - ahead;
    RemoveFrom(state, moved);
    state.entries.insert(state.entries.begin() + static_cast<std::ptrdiff_t>(at), taken.begin(),
                         taken.end());
    RecordStep(*m_state, {{document, std::move(state)}});
}

bool EditSession::Copy(std::size_t from, std::span<const std::size_t> entries, std::size_t to,
                       bool move, std::string& reason) {
    const Document& source = m_state->documents.at(from);
    const Document& target = m_state->documents.at(to);
    // A map's textures go into a wad of their kind, as a wad's do, but never out of the map.
    const DocumentKind kind = source.kind == DocumentKind::Map ? DocumentKind::Wad : source.kind;
    if (target.kind == DocumentKind::Map || (move && source.kind == DocumentKind::Map)) {
        reason = kMapFixed;
        return false;
    }
    if (from == to || source.kind == DocumentKind::Texture || kind != target.kind ||
        source.wadKind != target.wadKind) {
        reason = from == to ? "the entries are in that archive already"
                 : source.wadKind && target.wadKind
                     ? "a WAD2 and a WAD3 texture index different palettes"
                     : "entries are copied between archives of one kind only";
        return false;
    }
    const std::vector<std::size_t> copied = ValidIndices(entries, source.current.entries.size());
    DocumentState into = target.current;
    for (const std::size_t entry : copied) {
        const EditedEntry& original = source.current.entries[entry];
        if (original.stored && original.stored->outside) {
            reason = original.name + ": " + DescribeReadError(ReadError::TextureOutside);
            return false;
        }
        if (!NameAllowed(target, into, original.name, std::nullopt, reason)) {
            return false;
        }
        // The entry's place is in its own file: the copy takes its bytes.
        auto bytes = EntryBytes(source, original, reason);
        if (!bytes) {
            return false;
        }
        into.entries.push_back(
            {original.name, original.type, std::nullopt,
             std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes))});
    }
    std::vector<std::pair<std::size_t, DocumentState>> after{{to, std::move(into)}};
    if (move) {
        DocumentState left = source.current;
        RemoveFrom(left, copied);
        after.emplace_back(from, std::move(left));
    }
    RecordStep(*m_state, std::move(after));
    return true;
}

bool EditSession::CanUndo() const {
    return !m_state->undo.empty();
}

bool EditSession::CanRedo() const {
    return !m_state->redo.empty();
}

void EditSession::Undo() {
    if (m_state->undo.empty()) {
        return;
    }
    for (const StepChange& change : m_state->undo.back()) {
        m_state->documents[change.document].current = change.before;
    }
    m_state->redo.push_back(std::move(m_state->undo.back()));
    m_state->undo.pop_back();
}

void EditSession::Redo() {
    if (m_state->redo.empty()) {
        return;
    }
    for (const StepChange& change : m_state->redo.back()) {
        m_state->documents[change.document].current = change.after;
    }
    m_state->undo.push_back(std::move(m_state->redo.back()));
    m_state->redo.pop_back();
}

std::vector<std::size_t> EditSession::ChangedOnDisk() const {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < m_state->documents.size(); ++i) {
        if (StampOf(m_state->documents[i].path) != m_state->documents[i].stamp) {
            changed.push_back(i);
        }
    }
    return changed;
}

std::vector<SaveOutcome> EditSession::Save(bool overwrite) {
    const std::vector<std::size_t> changed = ChangedOnDisk();
    std::vector<SaveOutcome> outcomes;
    for (std::size_t i = 0; i < m_state->documents.size(); ++i) {
        if (!Modified(i)) {
            continue;
        }
        SaveOutcome outcome{i, false, false, {}};
        if (!overwrite && std::find(changed.begin(), changed.end(), i) != changed.end()) {
            outcome.changedOnDisk = true;
            outcome.reason = "the file changed on disk since it was opened";
        } else if (auto failed = SaveDocument(*m_state, i)) {
            outcome.reason = std::move(*failed);
        } else {
            outcome.saved = true;
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

void EditSession::Close() {
    static_cast<SessionState&>(*m_state) = SessionState{};
}

} // namespace texelary
