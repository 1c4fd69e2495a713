// Animation names as --info's chains and the texture browser's frames compare them: one rule,
// ASCII letters in any case and every other byte as it is, whatever the script of the name.

#include "formats/AnimationChains.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

// A texture of a folder as --info names it: its path under the folder without the extension, and
// its file name without the extension.
AnimatedTexture InFolder(const std::string& path, const std::string& next) {
    const std::size_t dot = path.rfind('.');
    const std::string withoutExtension = path.substr(0, dot);
    return {path, {"", withoutExtension, withoutExtension.substr(path.rfind('/') + 1)}, next};
}

TEST(AnimationChains, ANameChainsAlikeInInfoAndTheBrowser) {
    struct Row {
        const char* texture; // listed under the folder
        const char* next;    // what the first frame's header names
        bool chained;
    };
    const Row rows[] = {
        {"e1/water2.wal", "E1\\WATER2", true},      // ASCII letters in any case, '\' as '/'
        {"e1/water2.wal", "water2", true},          // the file name alone
        {"e1/Été2.wal", "E1/Été2", true},           // the ASCII letters of a UTF-8 name fold
        {"e1/Été2.wal", "e1/été2", false},          // its other letters are compared as they are
        {"e1/Вода.wal", "E1/Вода", true},           // Cyrillic: only "E1" folds
        {"e1/Вода.wal", "e1/вода", false},          // 'В' is not 'в'
        {"straße.wal", "STRAßE", true},             // 'ß' as it is, the rest folded
        {"e1/\xC9t\xE9.wal", "E1/\xC9T\xE9", true}, // bytes that are not UTF-8, as they are
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.texture) + " named as " + row.next);
        // --info: the first frame names the texture, which names the first frame back.
        const std::vector<AnimatedTexture> textures = {InFolder("e1/first.wal", row.next),
                                                       InFolder(row.texture, "e1/first")};
        EXPECT_EQ(CheckAnimationChains(textures).empty(), row.chained);
        // The browser: the texture is found among those it lists.
        const auto found = TextureNamed(row.next, {"e1/first.wal", row.texture});
        EXPECT_EQ(found == std::optional<std::size_t>(1), row.chained);
    }
}

TEST(AnimationChains, NumberedFramesRunAlikeInInfoAndTheBrowser) {
    struct Row {
        const char* first; // +0
        const char* then;  // +1
        bool oneRun;
    };
    const Row rows[] = {
        {"+0LAVA", "+1lava", true},  {"+0Été", "+1éTé", false}, {"+0Été", "+1ÉTé", true},
        {"+0вода", "+1Вода", false}, {"+aSky", "+bsKY", true},  {"+0sky", "+bsky", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.first) + ", " + row.then);
        // --info: a +1 of a run of its own lacks its +0.
        EXPECT_EQ(CheckFrameNumbers({row.first, row.then}).empty(), row.oneRun);
        // The browser: the frames played from the +0.
        const std::vector<std::string> listed = {std::string("e1/") + row.then + ".wal",
                                                 std::string("e1/") + row.first + ".wal"};
        const std::vector<std::size_t> expected =
            row.oneRun ? std::vector<std::size_t>{1, 0} : std::vector<std::size_t>{1};
        EXPECT_EQ(NumberedFramesOf(listed[1], listed), expected);
    }
}

} // namespace
} // namespace texelary
