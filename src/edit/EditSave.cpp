#include "archives/MapWriter.h"
#include "archives/PakArchive.h"
#include "archives/WadArchive.h"
#include "base/FileIo.h"
#include "base/WriteError.h"
#include "edit/EditState.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace texelary {

namespace {

using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// An entry of the old file that only the history still names, with its bytes read before the
// file is replaced: an undo may bring it back.
struct KeptEntry {
    StoredEntry place;
    SharedBytes bytes;
};

// Every state of `document` that the history holds.
template <class Visit>
void ForEachHistoryState(SessionState& state, std::size_t document, Visit visit) {
    for (auto* side : {&state.undo, &state.redo}) {
        for (auto& step : *side) {
            for (StepChange& change : step) {
                if (change.document == document) {
                    visit(change.before);
                    visit(change.after);
                }
            }
        }
    }
}

// What tells stored entries apart in look-ups: their place and name.
using PlaceKey = std::tuple<std::uint32_t, std::uint32_t, std::string>;

PlaceKey KeyOf(const StoredEntry& place) {
    return {place.offset, place.length, place.name};
}

std::vector<KeptEntry> PlacesOnlyInHistory(SessionState& state, std::size_t document) {
    std::set<PlaceKey> seen;
    for (const EditedEntry& entry : state.documents[document].current.entries) {
        if (entry.stored) {
            seen.insert(KeyOf(*entry.stored));
        }
    }
    std::vector<KeptEntry> kept;
    ForEachHistoryState(state, document, [&](const DocumentState& held) {
        for (const EditedEntry& entry : held.entries) {
            if (entry.stored && seen.insert(KeyOf(*entry.stored)).second) {
                kept.push_back({*entry.stored, nullptr});
            }
        }
    });
    return kept;
}

// Whether the document or its history still has entries whose bytes are in its file.
bool ReadsFromFile(SessionState& state, std::size_t document) {
    const auto stored = [](const DocumentState& held) {
        return std::any_of(held.entries.begin(), held.entries.end(),
                           [](const EditedEntry& entry) { return entry.stored.has_value(); });
    };
    bool reads = stored(state.documents[document].current);
    ForEachHistoryState(state, document,
                        [&](const DocumentState& held) { reads = reads || stored(held); });
    return reads;
}

std::unique_ptr<ArchiveWriter> WriterOf(const Document& document, ReplacingFile& out) {
    if (document.kind == DocumentKind::Wad) {
        return std::make_unique<WadWriter>(out, *document.wadKind);
    }
    return std::make_unique<PakWriter>(out, document.longEntries);
}

// The entries written in order to `out`, each read from the old file in its turn unless it has
// bytes of its own, and `kept`'s bytes read; none when all went well, else why not. The old file
// is closed on return, before it is replaced: Windows replaces no open file.
std::optional<std::string> WriteEntries(const Document& document, ReplacingFile& out,
                                        std::vector<KeptEntry>& kept) {
    ArchiveFile file(document.path);
    ReadError readError = file.Error();
    const auto read = [&](const StoredEntry& place) {
        return file.Ok() ? document.row->readEntry(file, place, &readError) : std::nullopt;
    };
    const auto writer = WriterOf(document, out);
    WriteError writeError = WriteError::None;
    for (const EditedEntry& entry : document.current.entries) {
        std::optional<std::vector<std::uint8_t>> fromFile;
        if (!entry.bytes && !(fromFile = read(*entry.stored))) {
            return DescribeReadError(readError);
        }
        const std::span<const std::uint8_t> bytes = entry.bytes ? *entry.bytes : *fromFile;
        if (!writer->Add(entry.name, bytes, entry.type, &writeError)) {
            return DescribeWriteError(writeError);
        }
    }
    for (KeptEntry& entry : kept) {
        auto bytes = read(entry.place);
        if (!bytes) {
            return DescribeReadError(readError);
        }
        entry.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
    }
    if (!writer->Finish(&writeError)) {
        return DescribeWriteError(writeError);
    }
    return std::nullopt;
}

// The document's entries, and those of its history, made to refer to the file just written.
std::optional<std::string> Reopen(SessionState& state, std::size_t index,
                                  const std::vector<KeptEntry>& kept) {
    Document& document = state.documents[index];
    const OpenedArchive archive(document.path);
    const auto& written = archive.Directory().entries;
    if (archive.Error() != ReadError::None || written.size() != document.current.entries.size()) {
        return archive.Error() != ReadError::None ? DescribeReadError(archive.Error())
                                                  : "the saved archive reads back otherwise";
    }
    std::map<const void*, std::size_t> byBytes;
    std::map<PlaceKey, std::size_t> byPlace;
    for (std::size_t i = 0; i < document.current.entries.size(); ++i) {
        const EditedEntry& entry = document.current.entries[i];
        if (entry.bytes) {
            byBytes.emplace(entry.bytes.get(), i);
        } else if (entry.stored) {
            byPlace.emplace(KeyOf(*entry.stored), i);
        }
    }
    const auto placeOf = [&](const EditedEntry& entry) -> const StoredEntry* {
        if (entry.bytes) {
            const auto found = byBytes.find(entry.bytes.get());
            return found != byBytes.end() ? &written[found->second] : nullptr;
        }
        const auto found = entry.stored ? byPlace.find(KeyOf(*entry.stored)) : byPlace.end();
        return found != byPlace.end() ? &written[found->second] : nullptr;
    };
    const auto refer = [&](DocumentState& held) {
        for (EditedEntry& entry : held.entries) {
            if (const StoredEntry* place = placeOf(entry)) {
                entry.stored = *place;
                entry.bytes = nullptr;
            } else if (entry.stored) {
                const auto found = std::find_if(kept.begin(), kept.end(), [&](const KeptEntry& k) {
                    return k.place == *entry.stored;
                });
                if (found != kept.end()) {
                    entry.bytes = found->bytes;
                    entry.stored.reset();
                }
            }
        }
    };
    ForEachHistoryState(state, index, refer);
    refer(document.current);
    return std::nullopt;
}

// A map saved: its copy takes the pixels of every texture given bytes of their own, and every
// other byte of the map as it is. Its textures keep their places, so the entries refer to the
// same places of the new file; states of the history that refer to a replaced texture's place
// take its old bytes, read before the file is replaced.
std::optional<std::string> SaveMap(SessionState& state, std::size_t index) {
    Document& document = state.documents[index];
    std::vector<EditedEntry>& entries = document.current.entries;
    std::map<std::size_t, SharedBytes> old;
    std::string reason;
    ForEachHistoryState(state, index, [&](const DocumentState& held) {
        for (std::size_t i = 0; i < held.entries.size() && i < entries.size(); ++i) {
            if (entries[i].bytes && held.entries[i].stored && !old.contains(i)) {
                auto bytes = EntryBytes(document, held.entries[i], reason);
                old.emplace(
                    i, bytes ? std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes))
                             : nullptr);
            }
        }
    });
    if (std::any_of(old.begin(), old.end(), [](const auto& kept) { return !kept.second; })) {
        return reason;
    }
    ReplacingFile out(document.path);
    {
        MapWriter writer(document.path, out);
        if (std::string problem = writer.Problem(*document.wadKind); !problem.empty()) {
            return problem;
        }
        for (const EditedEntry& entry : entries) {
            if (entry.bytes && !writer.Replace(entry.name, *entry.bytes, reason)) {
                return entry.name + ": " + reason;
            }
        }
    }
    if (!out.Commit()) {
        return DescribeWriteError(out.Error());
    }
    const auto refer = [&](DocumentState& held, std::size_t i) {
        EditedEntry& entry = held.entries[i];
        if (entry.bytes && entry.bytes == entries[i].bytes) {
            entry.stored = document.saved.entries[i].stored;
            entry.bytes = nullptr;
        } else if (entry.stored && old.contains(i)) {
            entry.bytes = old[i];
            entry.stored.reset();
        }
    };
    ForEachHistoryState(state, index, [&](DocumentState& held) {
        for (std::size_t i = 0; i < held.entries.size() && i < entries.size(); ++i) {
            refer(held, i);
        }
    });
    // The places of the map as last saved, which no edit changes.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].bytes) {
            entries[i].stored = document.saved.entries[i].stored;
            entries[i].bytes = nullptr;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> SaveDocument(SessionState& state, std::size_t index) {
    Document& document = state.documents[index];
    if (document.kind == DocumentKind::Texture) {
        WriteError error = WriteError::None;
        if (!WriteFileReplacing(document.path, *document.current.bytes, &error)) {
            return DescribeWriteError(error);
        }
    } else if (document.kind == DocumentKind::Map) {
        if (StampOf(document.path) != document.stamp) {
            return "it changed on disk since it was opened: open it again to edit it";
        }
        if (auto failed = SaveMap(state, index)) {
            return failed;
        }
    } else {
        if (StampOf(document.path) != document.stamp && ReadsFromFile(state, index)) {
            return "it changed on disk since it was opened, and the entries not edited would be "
                   "read from the new file: open it again to edit it";
        }
        std::vector<KeptEntry> kept = PlacesOnlyInHistory(state, index);
        ReplacingFile out(document.path);
        if (auto failed = WriteEntries(document, out, kept)) {
            return failed;
        }
        if (!out.Commit()) {
            return DescribeWriteError(out.Error());
        }
        if (auto failed = Reopen(state, index, kept)) {
            return failed;
        }
    }
    document.saved = document.current;
    document.stamp = StampOf(document.path);
    return std::nullopt;
}

} // namespace texelary
