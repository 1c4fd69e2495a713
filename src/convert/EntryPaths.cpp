#include "convert/EntryPaths.h"

#include <filesystem>

namespace texelary {

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

} // namespace

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
    // An entry under a folder of the input directory ("walls/stone.bmp") keeps its folders as
    // they are: only the file's own name is cut at its first dot.
    const auto folders = name.find_last_of(kSeparator == '/' ? "/" : "/\\");
    const auto dot = name.find('.', folders == std::string::npos ? 0 : folders + 1);
    if (dot == std::string::npos) {
        return name + "." + extension;
    }
    return name.substr(0, dot + 1) + extension;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    // Windows takes '/' as well as its own '\\'.
    const bool separated =
        !path.empty() && (path.back() == kSeparator || (kSeparator == '\\' && path.back() == '/'));
    if (!separated) {
        path += kSeparator;
    }
    return path + name;
}

} // namespace texelary
