// The five header fields that .m8 and .wal share: where each format keeps them, and how names
// that do not fit are cut.

#include "formats/HeaderFields.h"

#include "TestImages.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"

#include <functional>
#include <gtest/gtest.h>

namespace texelary {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes.at(offset)) |
           (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24);
}

TEST(CutAtCharacter, NeverSplitsAMultiByteCharacter) {
    const struct {
        std::string_view text;
        std::size_t maxBytes;
        std::string_view kept;
    } cases[] = {
        {"Mines/belt3", 31, "Mines/belt3"},
        {"abcdef", 4, "abcd"},
        {"ab\xC3\xA9", 3, "ab"},         // e-acute is 2 bytes: cut before it
        {"ab\xC3\xA9", 4, "ab\xC3\xA9"}, // fits exactly
        {"a\xE2\x82\xAC"
         "b",
         3, "a"}, // the euro sign is 3 bytes
        {"a\xE2\x82\xAC"
         "b",
         4, "a\xE2\x82\xAC"},
        {"\xF0\x9F\x99\x82", 2, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CutAtCharacter(c.text, c.maxBytes), c.kept) << c.text << " / " << c.maxBytes;
    }
}

struct FieldOffsets {
    const char* format;
    std::size_t name, animationName, flags, contents, value;
    std::function<std::optional<std::vector<std::uint8_t>>(const WriteOptions&)> encode;
    std::function<std::optional<HeaderFields>(std::span<const std::uint8_t>)> parse;
};

const IndexedImage kPicture = test::MakePicture(
    4, 4, [](std::int32_t x, std::int32_t y) { return static_cast<std::uint8_t>(x + 4 * y); });

const FieldOffsets kFormats[] = {
    {"m8", 4, 228, 1028, 1032, 1036,
     [](const WriteOptions& options) { return WriteM8(kPicture, Palette{}, options); },
     [](std::span<const std::uint8_t> file) { return ReadM8Fields(file); }},
    {"wal", 0, 56, 88, 92, 96,
     [](const WriteOptions& options) { return WriteWal(kPicture, WalPalette, options); },
     [](std::span<const std::uint8_t> file) -> std::optional<HeaderFields> {
         return ReadWalFields(file);
     }},
};

TEST(HeaderFields, KeptFieldsLandAtTheFormatsOffsetsAndReadBack) {
    WriteOptions options;
    options.fields =
        HeaderFields{"Palace/floor32", "Palace/floor33", 0x81000020u, 0x00000009u, 0xFFFFFFFEu};
    for (const FieldOffsets& f : kFormats) {
        const auto file = f.encode(options);
        ASSERT_TRUE(file) << f.format;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->data() + f.name)),
                  "Palace/floor32")
            << f.format;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->data() + f.animationName)),
                  "Palace/floor33")
            << f.format;
        EXPECT_EQ(Le32(*file, f.flags), 0x81000020u) << f.format;
        EXPECT_EQ(Le32(*file, f.contents), 0x00000009u) << f.format;
        EXPECT_EQ(Le32(*file, f.value), 0xFFFFFFFEu) << f.format;
        EXPECT_EQ(f.parse(*file), options.fields) << f.format;
    }
}

TEST(HeaderFields, AFullUnterminatedNameIsReadWholeAndWrittenCutToFit) {
    // 30 letters and a 2-byte character fill the 32-byte field with no zero byte left.
    const std::string full = std::string(30, 'n') + "\xC3\xA9";
    for (const FieldOffsets& f : kFormats) {
        auto file = *f.encode({});
        std::copy(full.begin(), full.end(), file.begin() + static_cast<std::ptrdiff_t>(f.name));
        const auto fields = f.parse(file);
        ASSERT_TRUE(fields) << f.format;
        EXPECT_EQ(fields->name, full) << f.format;
        EXPECT_FALSE(NamesFit(*fields, kTextureNameFieldSize)) << f.format;

        WriteOptions options;
        options.fields = fields;
        const auto written = f.parse(*f.encode(options));
        EXPECT_EQ(written->name, std::string(30, 'n')) << f.format;
    }
}

} // namespace
} // namespace texelary
