// A save ended at any moment, as a power cut or a killed process ends it, leaves each file it was
// writing whole: the old bytes or the new ones, never a mix. The writer's hook kills a child
// process before its Nth step (a write, the flush or the rename), for every N until the save
// goes through, and the files are read after each. The child is forked where there is fork; on
// Windows it is this test program started again, told the folder and the step in its
// environment, and it ends itself with TerminateProcess, which runs no clean-up either.

#include "ArchiveFiles.h"
#include "FieldFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "base/Win32.h"
#include "cli/SetCommand.h"
#include "edit/EditSession.h"
#include "formats/mips/MipTexture.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace texelary {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One file a save writes, with what it holds before and after.
struct SavedFile {
    std::string path;
    Bytes before;
    Bytes after;
};

std::string In(const std::string& folder, const char* name) {
    return folder + "/" + name;
}

// A save to kill, in a folder: the files it writes, and the save itself, true when it went
// through.
struct KillCase {
    const char* what;
    std::function<std::vector<SavedFile>(const std::string& folder)> make;
    std::function<bool(const std::string& folder)> save;
};

void PrintTo(const KillCase& row, std::ostream* out) {
    *out << row.what;
}

#ifdef _WIN32
// What a child killed by its hook ends with on Windows, where no signal tells it.
constexpr unsigned kKilledExit = 77;
#endif
// How the child learns its folder and its step on Windows.
constexpr const char* kFolderVariable = "TEXELARY_KILL_FOLDER";
constexpr const char* kStepVariable = "TEXELARY_KILL_AT";

std::atomic<long> g_stepsLeft{0};

// Kills the process, with no clean-up of any kind, before the step that ends the countdown.
int KillAtCountdown(WriteStep) {
    if (g_stepsLeft.fetch_sub(1) == 1) {
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), kKilledExit);
#else
        std::raise(SIGKILL);
#endif
    }
    return 0;
}

// The child's part: the save, killed before step `killAt`; the process ends here.
[[noreturn]] void SaveAsChild(const KillCase& row, const std::string& folder, long killAt) {
    g_stepsLeft.store(killAt);
    SetWriteHook(&KillAtCountdown);
    std::_Exit(row.save(folder) ? 0 : 1);
}

enum class ChildEnd : std::uint8_t { Killed, Saved, Failed };

// Runs `row`'s save in a child process killed before the `killAt`th step of its writes.
ChildEnd SaveInChild(const KillCase& row, const std::string& folder, long killAt) {
#ifdef _WIN32
    static_cast<void>(row); // the child runs this same test, whose parameter it is
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    _putenv_s(kFolderVariable, folder.c_str());
    _putenv_s(kStepVariable, std::to_string(killAt).c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    const std::string quoted = std::string("\"") + program + "\"";
    const intptr_t status = _spawnl(_P_WAIT, program, quoted.c_str(), filter.c_str(), nullptr);
    _putenv_s(kFolderVariable, "");
    _putenv_s(kStepVariable, "");
    if (status == static_cast<intptr_t>(kKilledExit)) {
        return ChildEnd::Killed;
    }
    return status == 0 ? ChildEnd::Saved : ChildEnd::Failed;
#else
    const pid_t pid = fork();
    if (pid == 0) {
        SaveAsChild(row, folder, killAt);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        return ChildEnd::Killed;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::Saved : ChildEnd::Failed;
#endif
}

void PutBack(const std::vector<SavedFile>& files) {
    for (const SavedFile& file : files) {
        test::WriteAll(NativePath(file.path), file.before);
    }
}

// A wad texture of 16 x 16 whose pixels follow `seed`.
Bytes WadTexture(const std::string& name, int seed) {
    const IndexedImage picture = test::MakePicture(
        16, 16, [seed](int x, int y) { return static_cast<std::uint8_t>(x * seed + y); });
    return *EncodeWad2MipTexture(picture, name);
}

// The wad of `lumps`, written before any hook is set.
Bytes WadOf(const std::string& folder, std::span<const WadMember> lumps) {
    const std::string path = In(folder, "made.wad");
    {
        ReplacingFile out(path);
        EXPECT_TRUE(WriteWad(out, WadKind::Wad2, lumps) && out.Commit());
    }
    Bytes bytes = test::ReadAll(NativePath(path));
    std::filesystem::remove(NativePath(path));
    return bytes;
}

// A .wal whose value field becomes 5.
std::vector<SavedFile> WalValueSet(const std::string& folder) {
    Bytes wal = test::FieldFile(EditableFormat::Wal);
    Bytes after = wal;
    test::PatchLE(after, 96, 5);
    return {{In(folder, "a.wal"), std::move(wal), std::move(after)}};
}

// A wad of three textures whose second is renamed "stone".
std::vector<SavedFile> WadTextureRenamed(const std::string& folder) {
    const Bytes brick = WadTexture("brick", 3), sky = WadTexture("sky", 5);
    const Bytes filler(70000, 9); // past the writer's gathering of small pieces
    const WadMember before[] = {{"sky", 0x44, sky}, {"brick", 0x44, brick}, {"fill", 0x40, filler}};
    Bytes stone = brick;
    test::PatchText(stone, 0, 16, "stone");
    const WadMember after[] = {{"sky", 0x44, sky}, {"stone", 0x44, stone}, {"fill", 0x40, filler}};
    return {{In(folder, "gfx.wad"), WadOf(folder, before), WadOf(folder, after)}};
}

// The same wad with its first texture removed, the second renamed "stone" and a lump added, and
// beside it the .wal whose value becomes 5: two files of one save.
std::vector<SavedFile> WadAndWalEdited(const std::string& folder) {
    const Bytes brick = WadTexture("brick", 3), sky = WadTexture("sky", 5);
    const Bytes filler(70000, 9), added(4000, 6);
    const WadMember before[] = {{"sky", 0x44, sky}, {"brick", 0x44, brick}, {"fill", 0x40, filler}};
    Bytes stone = brick;
    test::PatchText(stone, 0, 16, "stone");
    const WadMember after[] = {
        {"stone", 0x44, stone}, {"fill", 0x40, filler}, {"new", 0x40, added}};
    std::vector<SavedFile> files = {
        {In(folder, "gfx.wad"), WadOf(folder, before), WadOf(folder, after)}};
    files.push_back(WalValueSet(folder).front());
    return files;
}

bool EditAndSave(const std::string& folder) {
    EditSession session;
    std::string reason;
    const auto wad = session.Open(In(folder, "gfx.wad"), reason);
    const auto wal = session.Open(In(folder, "a.wal"), reason);
    if (!wad || !wal || !session.Rename(*wad, 1, "stone", reason)) {
        return false;
    }
    const std::size_t sky[] = {0};
    if (!session.Remove(*wad, sky, reason)) {
        return false;
    }
    std::vector<EditSession::NewEntry> added = {{"new", Bytes(4000, 6), 0x40}};
    const EditTarget target[] = {{*wal, std::nullopt}};
    const FieldEdit value[] = {{"value", "5"}};
    if (!session.Add(*wad, 2, std::move(added), reason) ||
        !session.SetFields(target, value, reason)) {
        return false;
    }
    const auto outcomes = session.Save();
    return outcomes.size() == 2 && outcomes[0].saved && outcomes[1].saved;
}

bool RunSetQuietly(const std::string& edits, const std::string& file) {
    std::ostringstream ignored;
    return RunSet(edits, {file}, ignored) == 0;
}

class KilledSave : public ::testing::TestWithParam<KillCase> {};

TEST_P(KilledSave, LeavesEachFileOldOrNew) {
    if (const char* step = std::getenv(kStepVariable); step != nullptr && *step != 0) {
        SaveAsChild(GetParam(), std::getenv(kFolderVariable), std::atol(step));
    }
    const test::ScratchDir dir;
    const std::string folder = Utf8Path(dir.Path());
    const std::vector<SavedFile> files = GetParam().make(folder);
    long kills = 0;
    for (long killAt = 1;; ++killAt) {
        ASSERT_LT(killAt, 10000) << "the save never got through";
        PutBack(files);
        const ChildEnd end = SaveInChild(GetParam(), folder, killAt);
        ASSERT_NE(end, ChildEnd::Failed) << "killed at step " << killAt;
        for (const SavedFile& file : files) {
            const Bytes now = test::ReadAll(NativePath(file.path));
            EXPECT_TRUE(now == file.before || now == file.after)
                << file.path << " is neither, killed at step " << killAt;
            if (end == ChildEnd::Saved) {
                EXPECT_EQ(now, file.after) << file.path;
            }
        }
        if (end == ChildEnd::Saved) {
            break;
        }
        ++kills;
    }
    // A write, the flush and the rename at the least: each was a moment to die in.
    EXPECT_GE(kills, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Saves, KilledSave,
    ::testing::Values(KillCase{"SetOnAWal", WalValueSet,
                               [](const std::string& folder) {
                                   return RunSetQuietly("value=5", In(folder, "a.wal"));
                               }},
                      KillCase{"SetRenamesAWadTexture", WadTextureRenamed,
                               [](const std::string& folder) {
                                   return RunSetQuietly("name=stone",
                                                        In(folder, "gfx.wad") + "/brick");
                               }},
                      KillCase{"SessionSavesAWadAndAWal", WadAndWalEdited, EditAndSave}),
    [](const ::testing::TestParamInfo<KillCase>& row) { return std::string(row.param.what); });

} // namespace
} // namespace texelary
