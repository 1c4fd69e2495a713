#include "archives/PakArchive.h"
#include "archives/WadArchive.h"
#include "base/FileIo.h"
#include "base/WriteError.h"
#include "edit/EditState.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <memory>
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

std::vector<KeptEntry> PlacesOnlyInHistory(SessionState& state, std::size_t document) {
    const DocumentState& current = state.documents[document].current;
    std::vector<KeptEntry> kept;
    ForEachHistoryState(state, document, [&](const DocumentState& held) {
        for (const EditedEntry& entry : held.entries) {
            const auto same = [&entry](const auto& other) { return other.stored == entry.stored; };
            if (entry.stored &&
                std::none_of(current.entries.begin(), current.entries.end(), same) &&
                std::none_of(kept.begin(), kept.end(), [&entry](const KeptEntry& other) {
                    return other.place == *entry.stored;
                })) {
                kept.push_back({*entry.stored, nullptr});
            }
        }
    });
    return kept;
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
    const std::vector<EditedEntry> old = document.current.entries;
    const auto placeOf = [&](const EditedEntry& entry) -> const StoredEntry* {
        for (std::size_t i = 0; i < old.size(); ++i) {
            if ((entry.bytes && entry.bytes == old[i].bytes) ||
                (!entry.bytes && entry.stored == old[i].stored)) {
                return &written[i];
            }
        }
        return nullptr;
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

} // namespace

std::optional<std::string> SaveDocument(SessionState& state, std::size_t index) {
    Document& document = state.documents[index];
    if (document.kind == DocumentKind::Texture) {
        WriteError error = WriteError::None;
        if (!WriteFileReplacing(document.path, *document.current.bytes, &error)) {
            return DescribeWriteError(error);
        }
    } else {
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
