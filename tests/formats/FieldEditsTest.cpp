// Header fields set in place: the file after the edits equals the one before with only the bytes
// of the fields named changed, each value lands where the format's reader finds it, and values
// that do not fit are refused with the file left alone.

#include "formats/FieldEdits.h"

#include "FieldFiles.h"
#include "formats/DecodedTexture.h"

#include <functional>
#include <gtest/gtest.h>

namespace texelary {
namespace {

using Patch = std::function<void(std::vector<std::uint8_t>&)>;

std::vector<std::uint8_t> Edited(EditableFormat format, std::string_view edits) {
    std::string reason;
    const auto parsed = ParseFieldEdits(edits, reason);
    EXPECT_TRUE(parsed) << reason;
    std::vector<std::uint8_t> file = test::FieldFile(format);
    EXPECT_TRUE(parsed && ApplyFieldEdits(file, format, *parsed, reason)) << reason;
    return file;
}

TEST(ApplyFieldEdits, ChangesOnlyTheBytesOfTheFieldsNamed) {
    using test::PatchFloat, test::PatchLE, test::PatchText;
    using enum EditableFormat;
    const struct {
        EditableFormat format;
        std::string edits;
        Patch patch;
    } rows[] = {
        {Wal, "name=e1u1/water", [](auto& b) { PatchText(b, 0, 32, "e1u1/water"); }},
        {Wal, "animation=e1u1/w2", [](auto& b) { PatchText(b, 56, 32, "e1u1/w2"); }},
        {Wal, "flags=+SURF_LIGHT", [](auto& b) { PatchLE(b, 88, 0x9); }},
        {Wal, "flags=sky|SURF_NODRAW", [](auto& b) { PatchLE(b, 88, 0x84); }},
        {Wal, "contents=-CONTENTS_WINDOW", [](auto& b) { PatchLE(b, 92, 0x20); }},
        {Wal, "value=0x10", [](auto& b) { PatchLE(b, 96, 16); }},
        {Wal3, "name=x,value=-1", [](auto& b) { PatchText(b, 1, 32, "x"), PatchLE(b, 888, ~0u); }},
        {Wal3, "animation=y,flags=4,contents=0",
         [](auto& b) { PatchText(b, 80, 32, "y"), PatchLE(b, 112, 4), PatchLE(b, 116, 0); }},
        {M8, "name=Palace/floor32,animation=",
         [](auto& b) { PatchText(b, 4, 32, "Palace/floor32"), PatchText(b, 228, 32, ""); }},
        {M8, "flags=+SURF_SKY,flags=-SURF_WARP,contents=3,value=4294967295",
         [](auto& b) { PatchLE(b, 1028, 0x4), PatchLE(b, 1032, 3), PatchLE(b, 1036, ~0u); }},
        {M32, "name=" + std::string(127, 'n') + ",damage_name=d,mip_scale=-3",
         [](auto& b) {
             PatchText(b, 4, 128, std::string(127, 'n')), PatchText(b, 388, 128, "d"),
                 PatchLE(b, 728, static_cast<std::uint32_t>(-3));
         }},
        {M32, "scale_x=2.5,detail_alpha=0.25,detail_blend_destination=5,flags=0x80000000",
         [](auto& b) {
             PatchFloat(b, 720, 2.5f), PatchFloat(b, 876, 0.25f), PatchLE(b, 884, 5),
                 PatchLE(b, 708, 0x80000000u);
         }},
        {Swl, "value=65535,direct=3,friction=0.5",
         [](auto& b) {
             PatchLE(b, 1188, 0xFFFF, 2), PatchLE(b, 1190, 3, 2), PatchFloat(b, 1212, 0.5f);
         }},
        {Swl, "colour=1 0.5 0,name=sin/floor",
         [](auto& b) {
             PatchFloat(b, 1224, 1.0f), PatchFloat(b, 1228, 0.5f), PatchFloat(b, 1232, 0.0f),
                 PatchText(b, 0, 64, "sin/floor");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edits);
        std::vector<std::uint8_t> expected = test::FieldFile(row.format);
        row.patch(expected);
        EXPECT_EQ(Edited(row.format, row.edits), expected);
    }
}

std::optional<HeaderFields> FieldsRead(EditableFormat format, std::span<const std::uint8_t> file) {
    ReadError error = ReadError::None;
    std::optional<DecodedTexture> texture;
    switch (format) {
    case EditableFormat::Wal:
    case EditableFormat::Wal3:
        texture = DecodeWal(file, &error, LevelsWanted::First);
        break;
    case EditableFormat::M8:
        texture = DecodeM8(file, &error, LevelsWanted::First);
        break;
    case EditableFormat::M32:
        texture = DecodeM32(file, &error, LevelsWanted::First);
        break;
    case EditableFormat::Swl:
        texture = DecodeSwl(file, &error, LevelsWanted::First);
        break;
    }
    return texture ? texture->fields : std::nullopt;
}

// One value for every field of a format's own, given both as an edit and as the reader's value.
struct EveryOwnField {
    std::string& edits;
    void operator()(std::string_view key, std::string_view, std::string& to) const {
        Add(key, "text"), to = "text";
    }
    void operator()(std::string_view key, std::string_view, float& to) const {
        Add(key, "0.75"), to = 0.75f;
    }
    void operator()(std::string_view key, std::string_view, std::int32_t& to) const {
        Add(key, "-9"), to = -9;
    }
    void operator()(std::string_view key, std::string_view, std::uint16_t& to) const {
        Add(key, "513"), to = 513;
    }
    void operator()(std::string_view key, std::string_view, std::array<float, 3>& to) const {
        Add(key, "1 2 3"), to = {1.0f, 2.0f, 3.0f};
    }
    void operator()(std::string_view, std::string_view, std::array<std::int32_t, 20>&) const {}
    void Add(std::string_view key, std::string_view value) const {
        edits += "," + std::string(key) + "=" + std::string(value);
    }
};

TEST(ApplyFieldEdits, EveryKeyLandsWhereTheReaderFindsIt) {
    using enum EditableFormat;
    for (const EditableFormat format : {Wal, Wal3, M8, M32, Swl}) {
        SCOPED_TRACE(static_cast<int>(format));
        std::vector<std::uint8_t> file = test::FieldFile(format);
        HeaderFields expected = *FieldsRead(format, file);
        std::string edits = "name=n/1,animation=n/2,flags=0x11,contents=0x22,value=9";
        expected.name = "n/1", expected.animationName = "n/2";
        expected.flags = 0x11, expected.contents = 0x22, expected.value = 9;
        if (expected.m32) {
            VisitFormatFields(*expected.m32, EveryOwnField{edits});
        }
        if (expected.swl) {
            VisitFormatFields(*expected.swl, EveryOwnField{edits});
        }
        std::string reason;
        const auto parsed = ParseFieldEdits(edits, reason);
        ASSERT_TRUE(parsed) << reason;
        ASSERT_TRUE(ApplyFieldEdits(file, format, *parsed, reason)) << reason;
        EXPECT_EQ(FieldsRead(format, file), expected);
    }
}

std::vector<std::uint8_t> TruncatedWal() {
    std::vector<std::uint8_t> file = test::FieldFile(EditableFormat::Wal);
    file.resize(60);
    return file;
}

TEST(ApplyFieldEdits, RefusesWhatDoesNotFitAndLeavesTheFileAlone) {
    using enum EditableFormat;
    const struct {
        EditableFormat format;
        std::vector<std::uint8_t> file;
        std::string edits;
        std::string_view reason;
    } rows[] = {
        {Wal, test::FieldFile(Wal), "name=" + std::string(32, 'n'), "longer than its field (31"},
        {Swl, test::FieldFile(Swl), "animation=" + std::string(64, 'a'), "longer than its field"},
        {Wal, test::FieldFile(Wal), "flags=+SURF_BOGUS", "\"SURF_BOGUS\" is no number nor name"},
        {M8, test::FieldFile(M8), "contents=SURF_LIGHT", "nor name of contents"},
        {Wal, test::FieldFile(Wal), "value=0x100000000", "does not fit"},
        {Swl, test::FieldFile(Swl), "value=65536", "does not fit"},
        {M32, test::FieldFile(M32), "mip_scale=2147483648", "does not fit"},
        {M32, test::FieldFile(M32), "scale_x=wide", "does not fit"},
        {Swl, test::FieldFile(Swl), "colour=1 2", "does not fit"},
        {Wal, test::FieldFile(Wal), "name=ok,scale_x=1", "a .wal file has no field \"scale_x\""},
        {M32, test::FieldFile(M8), "name=x", "not a .m32 file"},
        {Wal3, test::FieldFile(Wal), "name=x", "not a version-3 .wal file"},
        {Wal, TruncatedWal(), "name=x", "not a .wal file: "},
        {Wal, test::FieldFile(Wal), "name=\x03x", "marks version 3"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edits);
        std::string reason;
        const auto parsed = ParseFieldEdits(row.edits, reason);
        ASSERT_TRUE(parsed) << reason;
        std::vector<std::uint8_t> file = row.file;
        EXPECT_FALSE(ApplyFieldEdits(file, row.format, *parsed, reason));
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        EXPECT_EQ(file, row.file);
    }
}

TEST(ParseFieldEdits, RefusesAnEditWithoutKeyOrValueAndAKeyNoTextureHas) {
    const struct {
        std::string_view text;
        std::string_view reason;
    } rows[] = {
        {"", "\"\" is not KEY=VALUE"},
        {"name=a,flags", "\"flags\" is not KEY=VALUE"},
        {"=3", "is not KEY=VALUE"},
        {"bogus=1", "no texture has a field \"bogus\""},
        {"reserved=1", "no texture has a field \"reserved\""},
    };
    for (const auto& row : rows) {
        std::string reason;
        EXPECT_FALSE(ParseFieldEdits(row.text, reason)) << row.text;
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
    }
}

TEST(EditableFormatOf, TakesTheExtensionAndTheVersionByte) {
    const std::vector<std::uint8_t> version3{3, 0}, classic{'a', 0};
    EXPECT_EQ(EditableFormatOf("a/B.WAL", classic), EditableFormat::Wal);
    EXPECT_EQ(EditableFormatOf("b.wal", version3), EditableFormat::Wal3);
    EXPECT_EQ(EditableFormatOf("c.m8", classic), EditableFormat::M8);
    EXPECT_EQ(EditableFormatOf("d.M32", classic), EditableFormat::M32);
    EXPECT_EQ(EditableFormatOf("e.swl", classic), EditableFormat::Swl);
    EXPECT_EQ(EditableFormatOf("f.bmp", classic), std::nullopt);
    EXPECT_EQ(EditableFormatOf("noextension", classic), std::nullopt);
}

} // namespace
} // namespace texelary
