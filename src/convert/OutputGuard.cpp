#include "convert/OutputGuard.h"

#include "base/NativePath.h"
#include "convert/EntryPaths.h"

#include <system_error>

namespace texelary {

namespace fs = std::filesystem;

OutputGuard::OutputGuard(const FileList& files, const std::string& inputDir) {
    for (std::size_t i = 0; i < files.Count(); ++i) {
        m_inputs.insert(Key(JoinPath(inputDir, files.Entry(i))));
    }
}

std::string OutputGuard::Refusal(const std::string& input, const std::string& output) {
    std::error_code error;
    const std::string key = Key(output);
    if (fs::equivalent(NativePath(input), NativePath(output), error) && !error) {
        return "the output is the input file itself";
    }
    const auto written = m_written.find(key);
    if (written != m_written.end() && written->second != Key(input)) {
        return "an earlier file of this run was written there";
    }
    if (m_inputs.count(key) != 0) {
        return "that file is the input of another entry";
    }
    return {};
}

void OutputGuard::Written(const std::string& input, const std::string& output) {
    m_written.emplace(Key(output), Key(input));
}

std::string OutputGuard::Key(const std::string& path) {
    const fs::path file = NativePath(path);
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(file, error))) {
        const fs::path target = fs::weakly_canonical(file, error);
        if (!error) {
            return Utf8Path(target);
        }
    }
    const fs::path parent = file.parent_path();
    auto known = m_directories.find(parent);
    if (known == m_directories.end()) {
        fs::path resolved = fs::weakly_canonical(parent.empty() ? fs::path(".") : parent, error);
        known = m_directories.emplace(parent, error ? parent : resolved).first;
    }
    return Utf8Path((known->second / file.filename()).lexically_normal());
}

std::string WhyNotWritten(const std::string& path) {
    std::error_code ignored;
    const fs::path output = NativePath(path);
    const fs::path directory = output.parent_path().empty() ? fs::path(".") : output.parent_path();
    if (!fs::is_directory(directory, ignored)) {
        return "no such directory";
    }
    if (fs::exists(output, ignored) && !fs::is_regular_file(output, ignored)) {
        return "something other than a file has that name";
    }
    return {};
}

} // namespace texelary
