#include "project/ProjectSettings.h"

#include "base/FileIo.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "project/ProjectFile.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

namespace texelary {

namespace {

using Json = nlohmann::json;

// The keys, as the texture sidecar writes its own: lower case, words joined by '_'.
constexpr const char* kPaletteKey = "palette";
constexpr const char* kKeepHeaderKey = "keep_header";
constexpr const char* kMipsKey = "mips";
constexpr const char* kTransparentIndexKey = "transparent_index";
constexpr const char* kDitherKey = "dither";
constexpr const char* kFullbrightKey = "fullbright";

// The mip filters by the names the command line gives them, in MipFilter's order.
constexpr const char* kMipNames[] = {"point", "box"};

// `palette` relative to the folder of `projectPath` when it lies under that folder; else as it
// stands. Always with '/', which every system reads.
std::string StoredPalette(const std::string& palette, const std::string& projectPath) {
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::absolute(NativePath(projectPath), error).parent_path().lexically_normal();
    const std::filesystem::path file =
        std::filesystem::absolute(NativePath(palette), error).lexically_normal();
    if (palette.empty() || error) {
        return palette;
    }
    const std::filesystem::path relative = file.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == ".." || relative == ".") {
        return palette;
    }
    std::string stored = Utf8Path(relative);
#ifdef _WIN32
    std::replace(stored.begin(), stored.end(), '\\', '/');
#endif
    return stored;
}

// `to` takes the value at `key` when it is of `to`'s kind.
void TakeFlag(const Json& file, const char* key, bool& to) {
    if (const auto found = file.find(key); found != file.end() && found->is_boolean()) {
        to = found->get<bool>();
    }
}

void TakeMips(const Json& file, MipFilter& to) {
    const auto found = file.find(kMipsKey);
    if (found == file.end() || !found->is_string()) {
        return;
    }
    const std::string name = AsciiLower(found->get<std::string>());
    for (std::size_t i = 0; i < std::size(kMipNames); ++i) {
        if (name == kMipNames[i]) {
            to = static_cast<MipFilter>(i);
        }
    }
}

} // namespace

std::string ProjectSettingsPath(const std::string& projectPath) {
    return projectPath + ".json";
}

std::vector<std::uint8_t> EncodeProjectSettings(const ProjectSettings& settings,
                                                const std::string& projectPath) {
    nlohmann::ordered_json file;
    file[kPaletteKey] = StoredPalette(settings.paletteFile, projectPath);
    file[kKeepHeaderKey] = settings.keepHeader;
    file[kMipsKey] = kMipNames[static_cast<std::size_t>(settings.mips)];
    file[kTransparentIndexKey] = settings.transparentIndex;
    file[kDitherKey] = settings.dither;
    file[kFullbrightKey] = settings.fullbright;
    // A palette name that is not UTF-8 is written as it stands rather than lost.
    const std::string text =
        file.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return {text.begin(), text.end()};
}

ProjectSettings ParseProjectSettings(std::span<const std::uint8_t> bytes,
                                     const std::string& projectPath) {
    ProjectSettings settings;
    const Json file = Json::parse(bytes.begin(), bytes.end(), nullptr, false, true);
    if (!file.is_object()) {
        return settings;
    }
    if (const auto found = file.find(kPaletteKey); found != file.end() && found->is_string()) {
        const std::string palette = found->get<std::string>();
        settings.paletteFile = palette.empty() ? palette : ProjectDirectory(palette, projectPath);
    }
    TakeFlag(file, kKeepHeaderKey, settings.keepHeader);
    TakeMips(file, settings.mips);
    TakeFlag(file, kTransparentIndexKey, settings.transparentIndex);
    TakeFlag(file, kDitherKey, settings.dither);
    TakeFlag(file, kFullbrightKey, settings.fullbright);
    return settings;
}

ProjectSettings LoadProjectSettings(const std::string& projectPath) {
    const auto bytes = ReadFileBytes(ProjectSettingsPath(projectPath));
    return bytes ? ParseProjectSettings(*bytes, projectPath) : ProjectSettings{};
}

bool SaveProjectSettings(const ProjectSettings& settings, const std::string& projectPath,
                         WriteError* error) {
    return WriteFileReplacing(ProjectSettingsPath(projectPath),
                              EncodeProjectSettings(settings, projectPath), error);
}

} // namespace texelary
