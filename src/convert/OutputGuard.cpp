#include "convert/OutputGuard.h"

#include "base/FileIo.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "convert/EntryPaths.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <system_error>

#ifdef _WIN32
#include "base/Win32.h"
#else
#include <sys/stat.h>
#endif

namespace texelary {

namespace fs = std::filesystem;

namespace {

std::string SwappedCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(std::islower(c) ? std::toupper(c) : std::tolower(c));
    });
    return text;
}

// Whether `file` is also found under its name in the other case; none for a name without letters.
std::optional<bool> FoundInOtherCase(const fs::path& file) {
    const std::string name = Utf8Path(file.filename());
    const std::string other = SwappedCase(name);
    if (other == name) {
        return std::nullopt;
    }
    std::error_code error;
    const bool same = fs::equivalent(file, file.parent_path() / NativePath(other), error);
    return same && !error;
}

std::optional<OutputGuard::Identity> IdentityOf(const fs::path& path) {
#ifdef _WIN32
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) {
        return std::nullopt;
    }
    return OutputGuard::Identity{information.dwVolumeSerialNumber,
                                 (std::uint64_t{information.nFileIndexHigh} << 32) |
                                     information.nFileIndexLow};
#else
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return OutputGuard::Identity{static_cast<std::uint64_t>(status.st_dev),
                                 static_cast<std::uint64_t>(status.st_ino)};
#endif
}

// What one look at a name finds: whether it is a symbolic link, and the file it names (through
// the link), none when nothing is there. A name that is no link is looked at once.
struct Look {
    bool link = false;
    std::optional<OutputGuard::Identity> identity;
};

Look LookAt(const fs::path& path) {
#ifdef _WIN32
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) {
        return {};
    }
    return {fs::is_symlink(status), IdentityOf(path)};
#else
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return {};
    }
    if (S_ISLNK(status.st_mode)) {
        return {true, IdentityOf(path)};
    }
    return {false, OutputGuard::Identity{static_cast<std::uint64_t>(status.st_dev),
                                         static_cast<std::uint64_t>(status.st_ino)}};
#endif
}

} // namespace

bool NamesIgnoreCase(const fs::path& directory) {
    std::error_code error;
    constexpr int kEntriesAsked = 8;
    int asked = 0;
    for (fs::directory_iterator it(directory, error), end;
         !error && it != end && asked < kEntriesAsked; it.increment(error), ++asked) {
        if (const auto found = FoundInOtherCase(it->path())) {
            return *found;
        }
    }
    if (const auto found = FoundInOtherCase(directory)) {
        return *found;
    }
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

OutputGuard::OutputGuard(const std::vector<std::string>& files, const std::string& inputDir) {
    for (const std::string& file : files) {
        const std::string input = JoinPath(inputDir, file);
        const Look look = LookAt(NativePath(input));
        const std::string key = Key(input, look.link);
        m_inputs.insert(key);
        m_inputsSeen.emplace(input, InputSeen{key, look.identity});
        if (look.identity) {
            m_inputFiles.insert(*look.identity);
        }
    }
}

std::string OutputGuard::Refusal(const std::string& input, const std::string& output) {
    const Look look = LookAt(NativePath(output));
    const std::string key = Key(output, look.link);
    m_lastOutput = output;
    m_lastOutputKey = key;
    // Nothing there yet cannot be the input; something there is compared with it as a file.
    if (look.identity && InputIdentity(input) == look.identity) {
        return "the output is the input file itself";
    }
    const auto written = m_written.find(key);
    if (written != m_written.end() && written->second != InputKey(input)) {
        return "an earlier file of this run was written there";
    }
    if (m_inputs.count(key) != 0 || (look.identity && m_inputFiles.count(*look.identity) != 0)) {
        return "that file is the input of another entry";
    }
    return {};
}

void OutputGuard::Written(const std::string& input, const std::string& output) {
    const std::string key =
        output == m_lastOutput ? m_lastOutputKey : Key(output, LookAt(NativePath(output)).link);
    m_written.emplace(key, InputKey(input));
}

std::string OutputGuard::InputKey(const std::string& input) {
    const auto seen = m_inputsSeen.find(input);
    return seen != m_inputsSeen.end() ? seen->second.key
                                      : Key(input, LookAt(NativePath(input)).link);
}

std::optional<OutputGuard::Identity> OutputGuard::InputIdentity(const std::string& input) {
    const auto seen = m_inputsSeen.find(input);
    return seen != m_inputsSeen.end() ? seen->second.identity : IdentityOf(NativePath(input));
}

std::string OutputGuard::Key(const std::string& path, bool link) {
    fs::path file = NativePath(path);
    std::error_code error;
    if (link) {
        const fs::path target = fs::weakly_canonical(file, error);
        if (!error) {
            file = target;
        }
    }
    const fs::path parent = file.parent_path();
    auto known = m_directories.find(parent);
    if (known == m_directories.end()) {
        const fs::path resolved =
            fs::weakly_canonical(parent.empty() ? fs::path(".") : parent, error);
        const fs::path directory = error ? parent : resolved;
        known =
            m_directories.emplace(parent, Directory{directory, NamesIgnoreCase(directory)}).first;
    }
    const std::string key = Utf8Path((known->second.resolved / file.filename()).lexically_normal());
    return known->second.ignoresCase ? AsciiLower(key) : key;
}

std::string OutputFolderProblem(const std::string& folder) {
    std::error_code error;
    const fs::path path = NativePath(folder.empty() ? "." : folder);
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        return "the folder does not exist";
    }
    if (!fs::is_directory(status)) {
        return "it is not a folder";
    }
    // The probe is a temporary file of the writers' own, removed when it goes.
    const ReplacingFile probe(Utf8Path(path / ".texelary-probe"));
    return probe.Ok() ? std::string() : "the folder is read-only";
}

} // namespace texelary
