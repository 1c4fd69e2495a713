#include "formats/Sidecar.h"

#include "FamilyFields.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

std::vector<std::uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

struct SidecarCase {
    const char* json;
    std::uint32_t flags, contents, value; // read
    const char* refused;                  // or the reason it was refused
};

// The shapes other tools write: numbers, the game's names in any case and with or without their
// prefix, lists of both; comments; negative numbers as their 32 bits.
const SidecarCase kCases[] = {
    {R"({"flags": 24, "contents": 1, "value": 7})", 24, 1, 7, nullptr},
    {R"({"flags": "SKY", "contents": "contents_water"})", 4, 32, 0, nullptr},
    {R"({"flags": ["light", 16, "SURF_WARP"], "contents": ["SOLID", "Detail"]})", 25, 0x08000001, 0,
     nullptr},
    {"// a water texture\n{\"contents\": 32, /* and */ \"value\": -1}", 0, 32, 0xFFFFFFFF, nullptr},
    {R"({})", 0, 0, 0, nullptr},
    {R"({"flags": "shiny"})", 0, 0, 0,
     "\"flags\": \"shiny\" is not a number of 32 bits or a known name"},
    {R"({"contents": [1, [2]]})", 0, 0, 0,
     "\"contents\": [1,[2]] is not a number of 32 bits or a known name"},
    {R"({"value": 4294967296})", 0, 0, 0,
     "\"value\": 4294967296 is not a number of 32 bits or a known name"},
    {R"({"value": "sky"})", 0, 0, 0,
     "\"value\": \"sky\" is not a number of 32 bits or a known name"},
    {R"({"animation": 3})", 0, 0, 0, "\"animation\": 3 is not text"},
    {R"({"name": "a very long name that no texture field would hold"})", 0, 0, 0, nullptr},
    {R"({"name": ["a very long list of names", "that goes on and on"]})", 0, 0, 0,
     "\"name\": [\"a very long list of names\",\"that go... is not text"},
    {R"([1, 2])", 0, 0, 0, "not a JSON object"},
    {R"({"flags": 1)", 0, 0, 0, "a JSON syntax error at line 1, column 12"},
    {R"({"animation": 3333333333E333333})", 0, 0, 0, "a number too large to be read"},
    {"{\n  \"flags\": 1,\n  \"value\" 2\n}", 0, 0, 0, "a JSON syntax error at line 3, column 11"},
    // A format's own fields: each of its kind and range.
    {R"({"m32": {"scale_x": 2.5, "reserved": [7]}, "swl": {}})", 0, 0, 0, nullptr},
    {R"({"m32": 3})", 0, 0, 0, "\"m32\": 3 is not a JSON object"},
    {R"({"m32": {"scale_x": "big"}})", 0, 0, 0, "\"m32.scale_x\": \"big\" is not a number"},
    {R"({"m32": {"scale_y": 1e39}})", 0, 0, 0, "\"m32.scale_y\": 1e+39 is not a number"},
    {R"({"m32": {"detail_name": 1}})", 0, 0, 0, "\"m32.detail_name\": 1 is not text"},
    {R"({"m32": {"mip_scale": 2147483648.5}})", 0, 0, 0,
     "\"m32.mip_scale\": 2147483648.5 is not a number of 32 bits"},
    {R"({"swl": {"direct": 65536}})", 0, 0, 0,
     "\"swl.direct\": 65536 is not a number from 0 to 65535"},
    {R"({"swl": {"colour": [1, 2, 3, 4]}})", 0, 0, 0,
     "\"swl.colour\": [1,2,3,4] is not a list of at most 3 of a number"},
    {R"({"m32": {"reserved": [1, -1, 0.5]}})", 0, 0, 0,
     "\"m32.reserved\": [1,-1,0.5] is not a list of at most 20 of a number of 32 bits"},
};

TEST(Sidecar, ReadsTheShapesOtherToolsWrite) {
    for (const SidecarCase& row : kCases) {
        SCOPED_TRACE(row.json);
        std::string reason;
        const auto fields = ParseSidecar(Text(row.json), reason);
        if (row.refused != nullptr) {
            EXPECT_FALSE(fields);
            EXPECT_EQ(reason, row.refused);
            continue;
        }
        ASSERT_TRUE(fields) << reason;
        EXPECT_EQ(fields->flags, row.flags);
        EXPECT_EQ(fields->contents, row.contents);
        EXPECT_EQ(fields->value, row.value);
    }
}

// What is written is read back as it was, names included, and as the other tools' keys.
TEST(Sidecar, WrittenFieldsReadBack) {
    const HeaderFields fields{"e1u1/water", "e1u1/water2", 0x80000008u, 32, 12};
    const auto bytes = EncodeSidecar(64, 32, fields);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("\"width\": 64"), std::string::npos) << text;
    EXPECT_NE(text.find("\"height\": 32"), std::string::npos) << text;
    std::string reason;
    EXPECT_EQ(ParseSidecar(bytes, reason), fields) << reason;
    const auto unnamed = EncodeSidecar(8, 8, HeaderFields{});
    EXPECT_EQ(std::string(unnamed.begin(), unnamed.end()).find("name"), std::string::npos);

    const HeaderFields every = test::EveryHeaderFieldSet();
    EXPECT_EQ(ParseSidecar(EncodeSidecar(8, 8, every), reason), every) << reason;
}

// A format's object may give some of its fields: the rest keep a new texture's.
TEST(Sidecar, FormatFieldsLeftOutKeepTheirDefaults) {
    std::string reason;
    const auto fields = ParseSidecar(Text(R"({"m32": {"scale_x": 2.5, "reserved": [7]}})"), reason);
    ASSERT_TRUE(fields && fields->m32) << reason;
    M32Fields expected;
    expected.scaleX = 2.5f;
    expected.reserved[0] = 7;
    EXPECT_EQ(*fields->m32, expected);
    EXPECT_FALSE(fields->swl);
}

TEST(Sidecar, PathBesideThePicture) {
    EXPECT_EQ(SidecarPath("a/b.c/water.png"), "a/b.c/water.wal_json");
    EXPECT_EQ(SidecarPath("a/b.c/water"), "a/b.c/water.wal_json");
    EXPECT_EQ(SidecarPath("x.pak/textures/sky.PNG"), "x.pak/textures/sky.wal_json");
}

} // namespace
} // namespace texelary
