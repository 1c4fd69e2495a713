#pragma once

// The files a conversion run could not convert, each with the reason its box gave, for the run's
// last box (its details, and a list saved beside the output on request) and for the image list,
// whose rows they mark until the next run. The run's boxes come entry by entry, in the list's
// order, so a failure box belongs to the entry last named.

#include "formats/Formats.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

class MessageBoxes;

// One failed entry: its row in the image list (the run's index), its name and why it failed.
// A failure of the run's own before any entry (an archive that cannot be made) has no row.
struct FailedEntry {
    std::optional<std::size_t> row;
    std::string name;
    std::string reason;
};

// Written by the worker's thread while the run goes on; read on the GUI thread once handed over.
class RunFailures {
public:
    void Clear();
    // The run has named the entry it is about to finish.
    void EntryStarting(std::size_t index, const std::string& name);
    // The entry in hand is finished (the bar moved past it).
    void EntryFinished() { m_inEntry = false; }
    // A box that says something failed. Within an entry, that entry failed (once). Past the last
    // entry, the archive they went into failed: every entry reached that had not failed fails
    // with it. Before any entry, the run failed as a whole.
    void Failed(const std::string& text, const std::string& detail);

    const std::vector<FailedEntry>& Entries() const { return m_entries; }
    bool Empty() const { return m_entries.empty(); }
    // A line for each failure, "name: reason", each ending in a newline.
    std::string ListText() const;

private:
    std::vector<FailedEntry> m_entries;
    std::vector<std::string> m_reached; // the names of the entries named so far, by index
    bool m_inEntry = false;
};

// The name of the list of failed files that "Save list..." writes.
extern const char* const kFailedListName;

// Writes `failures`' list into the run's output folder as kFailedListName, or beside the archive
// when the output is one, and says in a box where it went, or why it did not. GUI thread only.
void SaveFailedList(const RunFailures& failures, const std::string& outputDir, TargetFormat target,
                    MessageBoxes& boxes);

} // namespace texelary
