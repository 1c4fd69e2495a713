#include "cli/EntriesCommand.h"

#include "archives/ArchiveListing.h"
#include "base/Utf8.h"
#include "edit/EditSession.h"

#include <algorithm>
#include <span>

namespace texelary {

namespace {

// The operands done and failed, each failure a line as it happens.
class Tally {
public:
    Tally(std::ostream& errors, const char* doneWord)
        : m_errors(errors)
        , m_doneWord(doneWord) {}

    void Done() { ++m_done; }
    void Failed(const std::string& what, const std::string& reason) {
        m_errors << "texelary-convert: " << what << ": " << reason << '\n';
        ++m_failed;
    }
    // An archive that could not be saved takes back the operands done in it.
    void Unsaved(const std::string& archive, const std::string& reason, std::size_t operands) {
        m_errors << "texelary-convert: " << archive << ": " << reason << '\n';
        m_done -= std::min(m_done, operands);
        m_failed += operands;
    }
    int Finish() {
        if (m_failed == 0) {
            m_errors << "All done\n";
        }
        m_errors << m_done << ' ' << m_doneWord << ", " << m_failed << " failed\n";
        return m_failed == 0 ? 0 : 1;
    }

private:
    std::ostream& m_errors;
    const char* m_doneWord;
    std::size_t m_done = 0;
    std::size_t m_failed = 0;
};

// The archive at `path` as a document of `session`; none, with the reason, for any other file.
std::optional<std::size_t> OpenArchive(EditSession& session, const std::string& path,
                                       std::string& reason) {
    const auto document = session.Open(path, reason);
    if (document && session.Kind(*document) == DocumentKind::Texture) {
        reason = "not a wad, a pak or a map";
        return std::nullopt;
    }
    return document;
}

// The entries `path` names: the one of that name (in any case in a wad), or, where `folders`, in
// a pak every one under the folder of that name, and every entry for an empty path.
std::vector<std::size_t> EntriesNamed(const EditSession& session, std::size_t document,
                                      const std::string& path, bool folders) {
    const std::vector<EditedEntry>& entries = session.Entries(document);
    const bool wad = session.WadKindOf(document).has_value(); // a wad's or a map's
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        const bool same = wad ? AsciiLower(name) == AsciiLower(path) : name == path;
        const bool inFolder =
            folders &&
            (path.empty() || (!wad && name.size() > path.size() &&
                              name.compare(0, path.size(), path) == 0 && name[path.size()] == '/'));
        if (same || inFolder) {
            named.push_back(i);
        }
    }
    return named;
}

// Saves every changed archive; one that fails takes back the operands done in it.
void SaveArchives(EditSession& session, const std::vector<std::size_t>& doneIn, Tally& tally) {
    for (const SaveOutcome& outcome : session.Save()) {
        if (outcome.saved) {
            continue;
        }
        const std::size_t operands =
            static_cast<std::size_t>(std::count(doneIn.begin(), doneIn.end(), outcome.document));
        tally.Unsaved(session.Path(outcome.document), outcome.reason, operands);
    }
}

} // namespace

std::optional<std::vector<std::pair<std::string, std::string>>>
ParseRenames(const std::string& renames, std::string& reason) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t start = 0;
    while (start <= renames.size()) {
        const std::size_t end = std::min(renames.find(',', start), renames.size());
        const std::string pair = renames.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals == 0 || equals == std::string::npos || equals + 1 == pair.size()) {
            reason = "'" + pair + "' is not OLD=NEW";
            return std::nullopt;
        }
        pairs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        start = end + 1;
    }
    return pairs;
}

int RunRename(const std::string& renames, const std::string& archive, std::ostream& errors) {
    Tally tally(errors, "renamed");
    std::string reason;
    const auto pairs = ParseRenames(renames, reason);
    EditSession session;
    const auto document = pairs ? OpenArchive(session, archive, reason) : std::nullopt;
    if (!document) {
        tally.Failed(archive, reason);
        return tally.Finish();
    }
    std::vector<std::size_t> doneIn;
    for (const auto& [from, to] : *pairs) {
        const auto named = EntriesNamed(session, *document, from, false);
        if (named.empty()) {
            reason = "no such entry in the archive";
        }
        if (named.empty() || !session.Rename(*document, named.front(), to, reason)) {
            tally.Failed(archive + "/" + from, reason);
            continue;
        }
        tally.Done();
        doneIn.push_back(*document);
    }
    SaveArchives(session, doneIn, tally);
    return tally.Finish();
}

int RunDelete(const std::vector<std::string>& paths, std::ostream& errors) {
    Tally tally(errors, "deleted");
    EditSession session;
    std::vector<std::size_t> doneIn;
    for (const std::string& path : paths) {
        const auto inArchive = ArchiveFolderOf(path);
        std::string reason = "not in a wad or a pak";
        const auto document =
            inArchive ? OpenArchive(session, inArchive->archive, reason) : std::nullopt;
        const auto named = document && !inArchive->entry.empty()
                               ? EntriesNamed(session, *document, inArchive->entry, true)
                               : std::vector<std::size_t>{};
        if (named.empty()) {
            tally.Failed(path, document ? "no such entry in the archive" : reason);
            continue;
        }
        if (!session.Remove(*document, named, reason)) {
            tally.Failed(path, reason);
            continue;
        }
        tally.Done();
        doneIn.push_back(*document);
    }
    SaveArchives(session, doneIn, tally);
    return tally.Finish();
}

int RunAdd(const std::string& target, const std::vector<std::string>& pictures,
           std::ostream& errors) {
    Tally tally(errors, "added");
    EditSession session;
    std::string reason = "not a wad or a pak";
    const auto inArchive = ArchiveFolderOf(target);
    const auto document =
        inArchive ? OpenArchive(session, inArchive->archive, reason) : std::nullopt;
    if (!document) {
        tally.Failed(target, reason);
        return tally.Finish();
    }
    std::vector<std::size_t> doneIn;
    for (const std::string& picture : pictures) {
        auto entry = EntryOfPicture(session, *document, picture, inArchive->entry, reason);
        std::vector<EditSession::NewEntry> added;
        if (entry) {
            added.push_back(std::move(*entry));
        }
        const std::size_t end = session.Entries(*document).size();
        if (!entry || !session.Add(*document, end, std::move(added), reason)) {
            tally.Failed(picture, reason);
            continue;
        }
        tally.Done();
        doneIn.push_back(*document);
    }
    SaveArchives(session, doneIn, tally);
    return tally.Finish();
}

int RunExtract(const std::string& folder, const std::vector<std::string>& paths,
               std::ostream& errors) {
    Tally tally(errors, "extracted");
    EditSession session;
    for (const std::string& path : paths) {
        const auto inArchive = ArchiveFolderOf(path);
        std::string reason = "not a wad or a pak, nor in one";
        const auto document =
            inArchive ? OpenArchive(session, inArchive->archive, reason) : std::nullopt;
        const auto named = document ? EntriesNamed(session, *document, inArchive->entry, true)
                                    : std::vector<std::size_t>{};
        if (document && named.empty()) {
            reason = "no such entry in the archive";
        }
        if (named.empty() || !Extract(session, *document, named, folder, reason)) {
            tally.Failed(path, reason);
            continue;
        }
        tally.Done();
    }
    return tally.Finish();
}

} // namespace texelary
