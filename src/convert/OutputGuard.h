#pragma once

// The outputs a run may not write: its own inputs, and what an earlier entry wrote.

#include "convert/FileList.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace texelary {

// The files a run must not write over: each input of the list (its own and the others', which
// the user still has as the only copy), and each output an earlier entry of the run has written
// from another input (the same name listed twice gives the same file twice, which loses nothing).
// Files are told apart by their paths with the directories resolved, so that "./a.wal", "a.wal"
// and a directory reached through a link all name one file; the entry's own input is also
// compared as a file, which catches every link and other spelling of it.
class OutputGuard {
public:
    OutputGuard(const FileList& files, const std::string& inputDir);

    // Why `output` may not be written for the entry read from `input`; empty when it may.
    std::string Refusal(const std::string& input, const std::string& output);

    void Written(const std::string& input, const std::string& output);

private:
    std::string Key(const std::string& path);

    std::set<std::string> m_inputs;
    std::map<std::string, std::string> m_written;                         // output, and its input
    std::map<std::filesystem::path, std::filesystem::path> m_directories; // resolved once each
};

// What is known of a failed write without asking the writer: a reason in a few words, or empty.
std::string WhyNotWritten(const std::string& path);

} // namespace texelary
