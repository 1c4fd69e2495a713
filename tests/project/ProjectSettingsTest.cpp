#include "project/ProjectSettings.h"

#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace texelary {
namespace {

using test::DiskFullAt;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

ProjectSettings EveryOneSet(std::string palette) {
    return {true, MipFilter::Box, true, true, true, std::move(palette)};
}

// A palette path as the file system names it: a read path may spell the separators otherwise
// than the path saved (backslashes for slashes on Windows).
std::string Normal(const std::string& path) {
    return path.empty() ? path : Utf8Path(NativePath(path).lexically_normal());
}

TEST(ProjectSettings, LiveBesideTheProjectFile) {
    EXPECT_EQ(ProjectSettingsPath("maps/mine.mm"), "maps/mine.mm.json");
    const ScratchDir dir;
    EXPECT_EQ(LoadProjectSettings(dir.File("none.mm")), ProjectSettings{});
}

TEST(ProjectSettings, SavedSettingsLoadAsTheyWere) {
    const ScratchDir dir;
    const std::string project = dir.File("mine.mm");
    const ProjectSettings rows[] = {
        {},
        EveryOneSet(dir.File("pal/kingpin.pal")),
        EveryOneSet(Utf8Path(dir.Path().parent_path() / "kingpin.pal")),
        {false, MipFilter::Point, true, false, false, {}},
    };
    for (const ProjectSettings& settings : rows) {
        ASSERT_TRUE(SaveProjectSettings(settings, project));
        ProjectSettings loaded = LoadProjectSettings(project);
        EXPECT_EQ(Normal(loaded.paletteFile), Normal(settings.paletteFile));
        loaded.paletteFile = settings.paletteFile;
        EXPECT_EQ(loaded, settings) << settings.paletteFile;
    }
}

// A palette under the project's folder is written relative to it; one elsewhere as it stands.
TEST(ProjectSettings, PaletteUnderTheProjectFolderIsStoredRelative) {
    const ScratchDir dir;
    const std::string project = dir.File("game/mine.mm");
    const struct {
        std::string palette;
        std::string stored;
    } rows[] = {
        {dir.File("game/pal/kingpin.pal"), "pal/kingpin.pal"},
        {dir.File("game/kingpin.pal"), "kingpin.pal"},
        {dir.File("other/kingpin.pal"), dir.File("other/kingpin.pal")},
        {"", ""},
    };
    for (const auto& row : rows) {
        const auto bytes = EncodeProjectSettings(EveryOneSet(row.palette), project);
        EXPECT_EQ(nlohmann::json::parse(bytes)["palette"], row.stored);
        EXPECT_EQ(Normal(ParseProjectSettings(bytes, project).paletteFile), Normal(row.palette));
    }
}

// What this program does not know, or cannot take, leaves that setting at its default.
TEST(ProjectSettings, UnknownKeysAndBadValuesTakeTheDefaults) {
    const ProjectSettings defaults;
    ProjectSettings dithered;
    dithered.dither = true;
    ProjectSettings boxed;
    boxed.mips = MipFilter::Box;
    const struct {
        std::string_view text;
        ProjectSettings expected;
    } rows[] = {
        {"", defaults},
        {"not json", defaults},
        {"[true]", defaults},
        {R"({"dither": true, "colour": "blue"})", dithered},
        {R"({"dither": 1, "keep_header": "yes", "fullbright": null})", defaults},
        {R"({"mips": "BOX"})", boxed},
        {R"({"mips": "bilinear", "palette": 7})", defaults},
        {R"({"mips": 1, "transparent_index": [true]})", defaults},
        {"// written by hand\n{\"dither\": true}", dithered},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseProjectSettings(Bytes(row.text), "mine.mm"), row.expected) << row.text;
    }
}

TEST(ProjectSettings, AFailedWriteLeavesTheOldFile) {
    const ScratchDir dir;
    const std::string project = dir.File("mine.mm");
    ASSERT_TRUE(SaveProjectSettings(EveryOneSet(""), project));
    const auto before = ReadAll(dir.Path() / "mine.mm.json");
    {
        const DiskFullAt full(WriteStep::Write, 1);
        WriteError error = WriteError::None;
        EXPECT_FALSE(SaveProjectSettings({}, project, &error));
        EXPECT_NE(error, WriteError::None);
    }
    EXPECT_EQ(ReadAll(dir.Path() / "mine.mm.json"), before);
}

} // namespace
} // namespace texelary
