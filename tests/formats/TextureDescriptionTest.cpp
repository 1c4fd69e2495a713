// The one wording of a texture's facts that --info prints and the windows show.

#include "formats/TextureDescription.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

TEST(TextureDescription, NamesAreQuotedWithTheirOddBytesAsHex) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "\"\""},
        {"e1u1/floor 1", "\"e1u1/floor 1\""},
        {"say \"hi\" \\ bye", "\"say \\x22hi\\x22 \\x5C bye\""},
        {std::string("a\0b\n\x1F\x7F", 6), "\"a\\x00b\\x0A\\x1F\\x7F\""},
        {"\xC3\xA9t\xE9", "\"\\xC3\\xA9t\\xE9\""}, // UTF-8 or not, byte by byte
    };
    for (const auto& [name, quoted] : rows) {
        EXPECT_EQ(QuotedName(name), quoted);
    }
    EXPECT_EQ(FieldHex(0), "0x00000000");
    EXPECT_EQ(FieldHex(0xABCDEF01u), "0xABCDEF01");
}

// Each fact as "label=value", its details after it.
std::vector<std::string> Lines(const std::vector<DescribedFact>& facts) {
    std::vector<std::string> lines;
    for (const DescribedFact& fact : facts) {
        lines.push_back(std::string(fact.label) + "=" + fact.value);
        lines.insert(lines.end(), fact.details.begin(), fact.details.end());
    }
    return lines;
}

TEST(TextureDescription, FactsComeInInfosOrder) {
    TextureInfo info;
    info.width = 8;
    info.height = 4;
    info.levels = {{8, 4, 100}, {4, 2, 132}};
    info.fields = HeaderFields{"e1u1/w\xC3\xA4ll", "", 1, 0x20, 0xFFFFFFFFu};
    info.distinctIndices = 3;
    const std::vector<DescribedFact> facts = DescribeTexture(SourceFormat::Wal, info);
    EXPECT_EQ(Lines(facts),
              (std::vector<std::string>{
                  "kind=wal", "size=8 x 4", "levels=2: 8 x 4, 4 x 2", "name=\"e1u1/w\\xC3\\xA4ll\"",
                  "animation name=\"\"", "flags=0x00000001", "contents=0x00000020",
                  "value=0xFFFFFFFF", "distinct indices=3", "format's rules=followed"}));
    // The windows pick facts by what they are about.
    std::vector<TextureFact> about;
    for (const DescribedFact& fact : facts) {
        about.push_back(fact.fact);
    }
    using enum TextureFact;
    EXPECT_EQ(about, (std::vector<TextureFact>{Kind, Size, Levels, Name, AnimationName, Flags,
                                               Contents, Value, DistinctIndices, Rules}));

    // A true-colour picture without header fields or levels, which breaks its format's rules.
    TextureInfo picture;
    picture.width = 3;
    picture.height = 5;
    picture.ruleBreaks = {"first rule", "second rule"};
    EXPECT_EQ(Lines(DescribeTexture(SourceFormat::Png, picture)),
              (std::vector<std::string>{
                  "kind=png", "size=3 x 5", "levels=0", "distinct indices=none (true colour)",
                  "format's rules=not followed", "first rule", "second rule"}));
}

// A format's own fields follow the five shared ones, each with its label; a stored version
// follows the kind.
TEST(TextureDescription, FieldsOfAFormatsOwnFollowTheSharedOnes) {
    TextureInfo info;
    info.version = 3;
    info.fields = HeaderFields{};
    info.fields->swl = SwlFields{};
    info.fields->swl->translucenceAngle = 90;
    info.fields->swl->friction = 0.1f;
    info.fields->swl->colour = {1.0f, 0.5f, 0.0f};
    const auto lines = Lines(DescribeTexture(SourceFormat::Swl, info));
    ASSERT_EQ(lines.size(), 4 + 5 + 11 + 2u);
    EXPECT_EQ(lines[1], "version=3");
    EXPECT_EQ(lines[9], "direct=0");
    EXPECT_EQ(lines[12], "direct angle=0");
    EXPECT_EQ(lines[13], "trans angle=90");
    EXPECT_EQ(lines[16], "friction=0.100000001"); // as stored, to the last bit
    EXPECT_EQ(lines[19], "colour=1, 0.5, 0");
}

} // namespace
} // namespace texelary
