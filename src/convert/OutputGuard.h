#pragma once

// The outputs a run may not write: its own inputs, and what an earlier entry wrote.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace texelary {

// The files a run must not write over: each input of the list (its own and the others', which
// the user still has as the only copy), and each output an earlier entry of the run has written
// from another input (the same name listed twice gives the same file twice, which loses nothing).
// Files are told apart by their paths with the directories resolved, so that "./a.wal", "a.wal"
// and a directory reached through a link all name one file, and in any case where the file system
// of their folder takes names that differ only in case for one file (Windows' always, macOS's
// usually). An output that already exists is also compared as a file with every input, so that a
// hard link to an input is that input, and with the entry's own, which catches every other
// spelling of it.
class OutputGuard {
public:
    // `files` are the list's names, relative to `inputDir`.
    OutputGuard(const std::vector<std::string>& files, const std::string& inputDir);

    // Why `output` may not be written for the entry read from `input`; empty when it may.
    std::string Refusal(const std::string& input, const std::string& output);

    void Written(const std::string& input, const std::string& output);

    // A file as the file system knows it, whatever its names: device and file number.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t file = 0;
        auto operator<=>(const Identity&) const = default;
    };

private:
    // The path with its directories resolved, and the file itself when `link` (a symbolic link
    // stands at the path).
    std::string Key(const std::string& path, bool link);
    std::string InputKey(const std::string& input);
    std::optional<Identity> InputIdentity(const std::string& input);

    std::set<std::string> m_inputs;
    // Each input of the list as the run found it at its start, by its path.
    struct InputSeen {
        std::string key;
        std::optional<Identity> identity;
    };
    std::map<std::string, InputSeen> m_inputsSeen;
    // The key Refusal found last, which Written takes for the same output.
    std::string m_lastOutput;
    std::string m_lastOutputKey;
    std::set<Identity> m_inputFiles;
    std::map<std::string, std::string> m_written; // output, and its input
    struct Directory {
        std::filesystem::path resolved;
        bool ignoresCase = false;
    };
    std::map<std::filesystem::path, Directory> m_directories; // each looked at once
};

// Whether the file system takes names in `directory` that differ only in case for one file. Asked
// of the names already there (a few of its entries, or the directory's own name, looked up in the
// other case), so that nothing is written to find out; when no name there has a letter, as this
// platform's file systems usually do (Windows: yes; others: no).
bool NamesIgnoreCase(const std::filesystem::path& directory);

// Why the folder `folder` cannot take a run's files, in a few words: it is not there, it is no
// folder, or no file can be made in it; empty when it can. Asked once before a run, so that such
// a folder is said once rather than in a failure for every entry. The permission bits do not tell
// this for every user (an administrator, a read-only volume): a file made there, and removed
// again, does.
std::string OutputFolderProblem(const std::string& folder);

} // namespace texelary
