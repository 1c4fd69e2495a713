// The editing session against files built byte by byte: every edit's saved file is compared with
// the file the archive writers make of the expected entries, or a texture patched by hand.

#include "edit/EditSession.h"

#include "ArchiveFiles.h"
#include "BmpBuilder.h"
#include "FieldFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "formats/mips/MipTexture.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace texelary {
namespace {

using test::ReadAll;
using test::ScratchDir;

constexpr std::uint8_t kWad2Texture = MipTextureType(WadKind::Wad2);
constexpr std::uint8_t kPaletteLump = 0x40;
constexpr std::size_t kWalAnimationAt = 56;
constexpr std::size_t kWalValueAt = 96;

struct Lump {
    std::string name;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> bytes;
};

// A mip texture's bytes as far as the session sees them: its own name field, then bytes that
// differ from one texture to the next.
std::vector<std::uint8_t> MipLump(std::string_view name, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(40);
    test::PatchText(bytes, 0, kWadNameSize, name);
    for (std::size_t i = kWadNameSize; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i);
    }
    return bytes;
}

Lump Texture(std::string_view name, std::uint8_t seed) {
    return {std::string(name), kWad2Texture, MipLump(name, seed)};
}

void WriteWadFile(const std::string& path, const std::vector<Lump>& lumps,
                  WadKind kind = WadKind::Wad2) {
    std::vector<WadMember> members;
    for (const Lump& lump : lumps) {
        members.push_back({lump.name, lump.type, lump.bytes});
    }
    ReplacingFile out(path);
    ASSERT_TRUE(WriteWad(out, kind, members) && out.Commit());
}

void WritePakFile(const std::string& path, const std::vector<Lump>& files,
                  bool longEntries = false) {
    ReplacingFile out(path);
    PakWriter pak(out, longEntries);
    for (const Lump& file : files) {
        ASSERT_TRUE(pak.Add(file.name, file.bytes));
    }
    ASSERT_TRUE(pak.Finish() && out.Commit());
}

const std::vector<Lump> kWad = {
    Texture("brick", 1), {"palette", kPaletteLump, {1, 2, 3, 4}}, Texture("water", 3)};

class EditSessionTest : public ::testing::Test {
protected:
    std::size_t OpenOk(const std::string& path) {
        std::string reason;
        const auto document = m_session.Open(path, reason);
        EXPECT_TRUE(document) << reason;
        return document.value_or(0);
    }
    std::size_t OpenWad(const std::string& name, const std::vector<Lump>& lumps,
                        WadKind kind = WadKind::Wad2) {
        WriteWadFile(m_dir.File(name), lumps, kind);
        return OpenOk(m_dir.File(name));
    }
    // The bytes the wad writer makes of `lumps`.
    std::vector<std::uint8_t> WadBytes(const std::vector<Lump>& lumps,
                                       WadKind kind = WadKind::Wad2) {
        WriteWadFile(m_dir.File("expected.wad"), lumps, kind);
        return ReadAll(m_dir.Path() / "expected.wad");
    }
    void SaveAll(std::size_t expected) {
        const auto outcomes = m_session.Save();
        ASSERT_EQ(outcomes.size(), expected);
        for (const SaveOutcome& outcome : outcomes) {
            EXPECT_TRUE(outcome.saved) << outcome.reason;
        }
    }

    ScratchDir m_dir;
    EditSession m_session;
    std::string m_reason;
};

struct WadEditRow {
    const char* what;
    std::function<bool(EditSession&, std::size_t, std::string&)> edit;
    std::vector<Lump> expected;
};

TEST_F(EditSessionTest, EachWadEditSavesTheWadItMakes) {
    const std::size_t two[] = {0, 1};
    const std::size_t last[] = {2};
    const std::size_t middle[] = {1};
    const std::size_t first[] = {0};
    const WadEditRow rows[] = {
        {"rename a texture",
         [](EditSession& s, std::size_t d, std::string& r) { return s.Rename(d, 0, "stone", r); },
         {Texture("stone", 1), kWad[1], kWad[2]}},
        {"rename another lump",
         [](EditSession& s, std::size_t d, std::string& r) { return s.Rename(d, 1, "colours", r); },
         {kWad[0], {"colours", kPaletteLump, {1, 2, 3, 4}}, kWad[2]}},
        {"set a texture's name",
         [](EditSession& s, std::size_t d, std::string& r) {
             const EditTarget target{d, 2};
             const FieldEdit edit{"name", "slime"};
             return s.SetFields({&target, 1}, {&edit, 1}, r);
         },
         {kWad[0], kWad[1], Texture("slime", 3)}},
        {"remove",
         [&](EditSession& s, std::size_t d, std::string& r) { return s.Remove(d, middle, r); },
         {kWad[0], kWad[2]}},
        {"add",
         [](EditSession& s, std::size_t d, std::string& r) {
             return s.Add(d, 1, {{"lava", MipLump("lava", 5), kWad2Texture}}, r);
         },
         {kWad[0], Texture("lava", 5), kWad[1], kWad[2]}},
        {"move one to the front",
         [&](EditSession& s, std::size_t d, std::string&) {
             s.Move(d, last, 0);
             return true;
         },
         {kWad[2], kWad[0], kWad[1]}},
        {"replace a texture, which keeps its name",
         [](EditSession& s, std::size_t d, std::string& r) {
             return s.Replace(d, 2, MipLump("other", 7), r);
         },
         {kWad[0], kWad[1], Texture("water", 7)}},
        {"move one before a later one",
         [&](EditSession& s, std::size_t d, std::string&) {
             s.Move(d, first, 2);
             return true;
         },
         {kWad[1], kWad[0], kWad[2]}},
        {"move two to the end",
         [&](EditSession& s, std::size_t d, std::string&) {
             s.Move(d, two, 3);
             return true;
         },
         {kWad[2], kWad[0], kWad[1]}},
    };
    for (const WadEditRow& row : rows) {
        SCOPED_TRACE(row.what);
        m_session.Close();
        const std::size_t wad = OpenWad("edited.wad", kWad);
        ASSERT_TRUE(row.edit(m_session, wad, m_reason)) << m_reason;
        EXPECT_TRUE(m_session.Modified(wad));
        SaveAll(1);
        EXPECT_FALSE(m_session.Modified(wad));
        EXPECT_EQ(ReadAll(m_dir.Path() / "edited.wad"), WadBytes(row.expected));
    }
}

TEST_F(EditSessionTest, WadRefusesNamesTakenInAnyCaseAndFieldsOtherThanTheName) {
    const std::size_t wad = OpenWad("refuses.wad", kWad);
    EXPECT_FALSE(m_session.Rename(wad, 0, "WATER", m_reason));
    EXPECT_EQ(m_reason, "the wad already has an entry named \"water\"");
    EXPECT_FALSE(m_session.Rename(wad, 0, "sixteen-bytes-xx", m_reason));
    EXPECT_FALSE(m_session.Add(wad, 0, {{"Brick", {1}, 0x42}}, m_reason));
    const EditTarget target{wad, 0};
    const FieldEdit edit{"value", "3"};
    EXPECT_FALSE(m_session.SetFields({&target, 1}, {&edit, 1}, m_reason));
    EXPECT_EQ(m_reason, "a wad texture has only a name to set");
    const std::size_t none[] = {7};
    EXPECT_TRUE(m_session.Remove(wad, none, m_reason));
    EXPECT_FALSE(m_session.Modified());
    EXPECT_FALSE(m_session.CanUndo()) << "a step that changes nothing is not one";
}

TEST_F(EditSessionTest, PakTextureFieldsAreSetByItsExtension) {
    const auto wal = test::FieldFile(EditableFormat::Wal);
    auto expected = wal;
    test::PatchText(expected, 0, 32, "e1u1/new");
    test::PatchLE(expected, kWalValueAt, 9);
    for (const bool longEntries : {false, true}) {
        SCOPED_TRACE(longEntries ? "72-byte entries" : "64-byte entries");
        m_session.Close();
        WritePakFile(m_dir.File("fields.pak"), {{"textures/a.wal", 0, wal}, {"readme.txt", 0, {7}}},
                     longEntries);
        const std::size_t pak = OpenOk(m_dir.File("fields.pak"));
        const EditTarget target{pak, 0};
        const FieldEdit edits[] = {{"name", "e1u1/new"}, {"value", "9"}};
        ASSERT_TRUE(m_session.SetFields({&target, 1}, edits, m_reason)) << m_reason;
        SaveAll(1);
        WritePakFile(m_dir.File("expected.pak"),
                     {{"textures/a.wal", 0, expected}, {"readme.txt", 0, {7}}}, longEntries);
        EXPECT_EQ(ReadAll(m_dir.Path() / "fields.pak"), ReadAll(m_dir.Path() / "expected.pak"));
    }
}

TEST_F(EditSessionTest, FieldsSetOnThreeTexturesAtOnceAreOneStep) {
    const auto wal = test::FieldFile(EditableFormat::Wal);
    std::vector<EditTarget> targets;
    for (const char* name : {"a.wal", "b.wal", "c.wal"}) {
        test::WriteAll(m_dir.Path() / name, wal);
        targets.push_back({OpenOk(m_dir.File(name)), std::nullopt});
    }
    const FieldEdit edit{"value", "12"};
    ASSERT_TRUE(m_session.SetFields(targets, {&edit, 1}, m_reason)) << m_reason;
    SaveAll(3);
    auto expected = wal;
    test::PatchLE(expected, kWalValueAt, 12);
    for (const char* name : {"a.wal", "b.wal", "c.wal"}) {
        EXPECT_EQ(ReadAll(m_dir.Path() / name), expected) << name;
    }
    m_session.Undo();
    EXPECT_FALSE(m_session.CanUndo());
    SaveAll(3);
    EXPECT_EQ(ReadAll(m_dir.Path() / "b.wal"), wal);
}

TEST_F(EditSessionTest, FieldsAreSetOnAllTargetsOrNone) {
    const auto wal = test::FieldFile(EditableFormat::Wal);
    test::WriteAll(m_dir.Path() / "a.wal", wal);
    WritePakFile(m_dir.File("mixed.pak"), {{"readme.txt", 0, {7}}});
    const EditTarget targets[] = {{OpenOk(m_dir.File("a.wal")), std::nullopt},
                                  {OpenOk(m_dir.File("mixed.pak")), 0}};
    const FieldEdit edit{"value", "12"};
    EXPECT_FALSE(m_session.SetFields(targets, {&edit, 1}, m_reason));
    EXPECT_EQ(m_reason, "not a .wal, .m8, .m32 or .swl texture");
    EXPECT_FALSE(m_session.Modified());
    EXPECT_FALSE(m_session.CanUndo());
    EXPECT_EQ(m_session.Bytes(targets[0], m_reason), wal);
}

TEST_F(EditSessionTest, UndoAndRedoRestoreTheStatesAndWhatIsSaved) {
    const std::size_t wad = OpenWad("history.wad", kWad);
    const auto original = ReadAll(m_dir.Path() / "history.wad");
    const std::size_t first[] = {0};
    m_session.Remove(wad, first, m_reason);
    ASSERT_TRUE(m_session.Rename(wad, 0, "colours", m_reason)) << m_reason;
    m_session.Undo();
    m_session.Undo();
    EXPECT_FALSE(m_session.Modified());
    EXPECT_EQ(m_session.Entries(wad).size(), 3u);
    m_session.Redo();
    EXPECT_TRUE(m_session.CanRedo());
    EXPECT_EQ(m_session.Entries(wad).size(), 2u);
    SaveAll(1);
    EXPECT_EQ(ReadAll(m_dir.Path() / "history.wad"), WadBytes({kWad[1], kWad[2]}));
    // The removed texture comes back after the file that held it was replaced.
    m_session.Undo();
    EXPECT_TRUE(m_session.Modified());
    SaveAll(1);
    EXPECT_EQ(ReadAll(m_dir.Path() / "history.wad"), original);
    EXPECT_EQ(m_session.Bytes({wad, 0}, m_reason), kWad[0].bytes);
    EXPECT_TRUE(m_session.CanRedo());
    ASSERT_TRUE(m_session.Rename(wad, 2, "lava", m_reason));
    EXPECT_FALSE(m_session.CanRedo()) << "a new edit clears what could be redone";
}

struct MergeRow {
    bool move;
    std::vector<Lump> from;
};

TEST_F(EditSessionTest, CopyMergesTwoWadsAndMoveEmptiesTheFirst) {
    const std::vector<Lump> other = {Texture("sky", 9)};
    for (const MergeRow& row : {MergeRow{false, kWad}, MergeRow{true, {kWad[1]}}}) {
        SCOPED_TRACE(row.move ? "moved" : "copied");
        m_session.Close();
        const std::size_t from = OpenWad("from.wad", kWad);
        const std::size_t to = OpenWad("to.wad", other);
        const std::size_t textures[] = {2, 0};
        ASSERT_TRUE(m_session.Copy(from, textures, to, row.move, m_reason)) << m_reason;
        SaveAll(row.move ? 2u : 1u);
        EXPECT_EQ(ReadAll(m_dir.Path() / "to.wad"), WadBytes({other[0], kWad[2], kWad[0]}));
        EXPECT_EQ(ReadAll(m_dir.Path() / "from.wad"), WadBytes(row.from));
        m_session.Undo();
        EXPECT_EQ(m_session.Entries(from).size(), 3u);
        EXPECT_EQ(m_session.Entries(to).size(), 1u);
    }
}

TEST_F(EditSessionTest, CopyRefusesAnotherKindOfWadAndATakenName) {
    const std::size_t from = OpenWad("from.wad", kWad);
    const std::size_t wad3 = OpenWad("three.wad", {}, WadKind::Wad3);
    const std::size_t to = OpenWad("to.wad", {Texture("Water", 9)});
    const std::size_t textures[] = {0, 2};
    EXPECT_FALSE(m_session.Copy(from, textures, wad3, false, m_reason));
    EXPECT_EQ(m_reason, "a WAD2 and a WAD3 texture index different palettes");
    EXPECT_FALSE(m_session.Copy(from, textures, to, true, m_reason));
    EXPECT_EQ(m_reason, "the wad already has an entry named \"Water\"");
    EXPECT_FALSE(m_session.Modified());
}

TEST_F(EditSessionTest, AFileChangedOnDiskIsSavedOnlyWhenAskedTo) {
    const auto wal = test::FieldFile(EditableFormat::Wal);
    test::WriteAll(m_dir.Path() / "a.wal", wal);
    const EditTarget target{OpenOk(m_dir.File("a.wal")), std::nullopt};
    const FieldEdit edit{"value", "5"};
    ASSERT_TRUE(m_session.SetFields({&target, 1}, {&edit, 1}, m_reason));
    const std::vector<std::uint8_t> theirs(wal.begin(), wal.end() - 1);
    test::WriteAll(m_dir.Path() / "a.wal", theirs);
    EXPECT_EQ(m_session.ChangedOnDisk(), std::vector<std::size_t>{0});
    const auto refused = m_session.Save();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_FALSE(refused[0].saved);
    EXPECT_TRUE(refused[0].changedOnDisk);
    EXPECT_EQ(ReadAll(m_dir.Path() / "a.wal"), theirs);
    const auto overwritten = m_session.Save(true);
    ASSERT_EQ(overwritten.size(), 1u);
    EXPECT_TRUE(overwritten[0].saved);
    auto expected = wal;
    test::PatchLE(expected, kWalValueAt, 5);
    EXPECT_EQ(ReadAll(m_dir.Path() / "a.wal"), expected);
    EXPECT_TRUE(m_session.ChangedOnDisk().empty());
}

// Its unedited entries would be read at their old places from bytes that are no longer there.
TEST_F(EditSessionTest, AWadChangedOnDiskIsNeverSavedOverItsNewBytes) {
    const std::size_t wad = OpenWad("a.wad", kWad);
    ASSERT_TRUE(m_session.Rename(wad, 0, "stone", m_reason)) << m_reason;
    const std::vector<Lump> theirs = {Texture("other", 9), kWad[1]};
    WriteWadFile(m_dir.File("a.wad"), theirs);
    const auto outcomes = m_session.Save(true);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].saved);
    EXPECT_EQ(ReadAll(m_dir.Path() / "a.wad"), WadBytes(theirs));
}

TEST_F(EditSessionTest, AFileOpenedByAnotherNameIsTheSameDocument) {
    test::WriteAll(m_dir.Path() / "a.wal", test::FieldFile(EditableFormat::Wal));
    const std::size_t first = OpenOk(m_dir.File("a.wal"));
    EXPECT_EQ(OpenOk(m_dir.File("./a.wal")), first);
    EXPECT_EQ(m_session.DocumentCount(), 1u);
}

TEST_F(EditSessionTest, AChainNamesEachTextureNextAndTheLastTheFirst) {
    std::vector<EditTarget> chain;
    std::vector<std::vector<std::uint8_t>> expected;
    const char* names[] = {"e1/fan1", "e1/fan2", "e1/fan3"};
    for (std::size_t i = 0; i < 3; ++i) {
        auto wal = test::FieldFile(EditableFormat::Wal);
        test::PatchText(wal, 0, 32, names[i]);
        const std::string file = std::string("fan") + std::to_string(i) + ".wal";
        test::WriteAll(m_dir.Path() / file, wal);
        chain.push_back({OpenOk(m_dir.File(file)), std::nullopt});
        test::PatchText(wal, kWalAnimationAt, 32, names[(i + 1) % 3]);
        expected.push_back(wal);
    }
    ASSERT_TRUE(m_session.SetChain(chain, m_reason)) << m_reason;
    SaveAll(3);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadAll(m_dir.Path() / (std::string("fan") + std::to_string(i) + ".wal")),
                  expected[i])
            << i;
    }
    m_session.Undo();
    EXPECT_FALSE(m_session.CanUndo());
}

TEST_F(EditSessionTest, AWad3PicturesSeeThroughPixelsTakeIndex255) {
    const auto fence = test::MakeTga32(16, 16, [](std::int32_t x, std::int32_t y) {
        return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(16 * x),
                                           static_cast<std::uint8_t>(16 * y), 90,
                                           static_cast<std::uint8_t>(x < 4 ? 100 : 255)};
    });
    test::WriteAll(m_dir.Path() / "{fence.tga", fence);
    const std::size_t wad = OpenWad("three.wad", {}, WadKind::Wad3);
    auto entry = EntryOfPicture(m_session, wad, m_dir.File("{fence.tga"), "", m_reason);
    ASSERT_TRUE(entry) << m_reason;
    EXPECT_EQ(entry->name, "{fence");
    EXPECT_EQ(entry->type, MipTextureType(WadKind::Wad3));
    const auto texture = DecodeMipTexture(entry->bytes, WadKind::Wad3);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->name, "{fence");
    for (std::int32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(texture->image->pixels[static_cast<std::size_t>(16 * 5 + x)] == 255, x < 4) << x;
    }
    const Lump lump{entry->name, entry->type, entry->bytes};
    ASSERT_TRUE(m_session.Add(wad, 0, {std::move(*entry)}, m_reason)) << m_reason;
    SaveAll(1);
    EXPECT_EQ(ReadAll(m_dir.Path() / "three.wad"), WadBytes({lump}, WadKind::Wad3));
}

TEST_F(EditSessionTest, APakTakesAPictureAsItIsUnderTheFolder) {
    const auto picture = test::MakeBmp24(4, 4);
    test::WriteAll(m_dir.Path() / "wall.bmp", picture);
    WritePakFile(m_dir.File("mod.pak"), {});
    const std::size_t pak = OpenOk(m_dir.File("mod.pak"));
    const auto entry =
        EntryOfPicture(m_session, pak, m_dir.File("wall.bmp"), "gfx/walls", m_reason);
    ASSERT_TRUE(entry) << m_reason;
    EXPECT_EQ(entry->name, "gfx/walls/wall.bmp");
    EXPECT_EQ(entry->bytes, picture);
}

TEST_F(EditSessionTest, ExtractWritesEntriesAsFilesInTheirFolders) {
    WritePakFile(m_dir.File("mod.pak"), {{"textures/e1/a.wal", 0, {1, 2}}, {"b.txt", 0, {3}}});
    const std::size_t pak = OpenOk(m_dir.File("mod.pak"));
    ASSERT_TRUE(m_session.Rename(pak, 1, "docs/b.txt", m_reason));
    const std::size_t both[] = {0, 1};
    ASSERT_TRUE(Extract(m_session, pak, both, m_dir.File("out"), m_reason)) << m_reason;
    EXPECT_EQ(ReadAll(m_dir.Path() / "out/textures/e1/a.wal"), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(ReadAll(m_dir.Path() / "out/docs/b.txt"), std::vector<std::uint8_t>{3});
}

} // namespace
} // namespace texelary
