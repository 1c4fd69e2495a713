// Texts are UTF-8 everywhere; on Windows file names become UTF-16 in one place.

#include "base/Utf8.h"

#include "TestFiles.h"
#include "base/NativePath.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

// fs::path of a u8 text is the standard's own reading of UTF-8, on every platform.
TEST(NativePath, Utf8NamesAreTheNamesThemselves) {
    for (const std::u8string_view name :
         {u8"€uro.bmp", u8"壁.bmp", u8"textures/über grün/café wall.m8", u8"plain.wal", u8""}) {
        const std::filesystem::path expected(name);
        EXPECT_EQ(NativePath(test::Utf8(name)).native(), expected.native()) << test::Utf8(name);
        EXPECT_EQ(Utf8Path(expected), test::Utf8(name));
    }
}

TEST(Utf8, CharactersAreTakenWholeAndOtherBytesOneByOne) {
    const struct {
        const char* text;
        std::size_t length;
    } cases[] = {
        {"a", 1},
        {"\xC3\xA9", 2},         // é
        {"\xE2\x82\xAC", 3},     // €
        {"\xF0\x9F\x98\x80", 4}, // U+1F600
        {"\xE9t\xE9", 0},        // "été" in an ANSI code page
        {"\xC3", 0},             // cut short
        {"\xE2\x82", 0},         // cut short
        {"\x80", 0},             // a stray continuation byte
        {"\xC0\xAF", 0},         // overlong
        {"\xE0\x80\xAF", 0},     // overlong
        {"\xF0\x80\x80\xAF", 0}, // overlong
        {"\xED\xA0\x80", 0},     // a surrogate
        {"\xF4\x90\x80\x80", 0}, // past U+10FFFF
        {"\xF8\x88\x80\x80", 0}, // no such lead byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8CharLength(c.text, 0), c.length) << c.text;
    }
    const std::string text = test::Utf8(u8"a€b壁");
    EXPECT_EQ(Utf8Prefix(text, 3), 1u);
    EXPECT_EQ(Utf8Prefix(text, 4), 4u);
    EXPECT_EQ(Utf8Prefix(text, 7), 5u);
    EXPECT_EQ(Utf8Prefix(text, 100), text.size());
    EXPECT_EQ(Utf8Prefix("caf\xE9 \xE9t\xE9", 5), 5u);
}

} // namespace
} // namespace texelary
