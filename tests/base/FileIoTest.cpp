#include "base/FileIo.h"

#include "TestFiles.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>

#ifdef __unix__
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include "base/NativePath.h"
#include "base/Win32.h"

#include <chrono>
#include <thread>
#endif

namespace texelary {
namespace {

using test::ReadAll;
using test::ScratchDir;

TEST(FileIo, ReadsWholeFiles) {
    ScratchDir dir;
    const std::vector<std::uint8_t> bytes(100000, 7);
    test::WriteAll(dir.File("a.bin"), bytes);
    EXPECT_EQ(ReadFileBytes(dir.File("a.bin")), bytes);
    test::WriteAll(dir.File("empty"), {});
    EXPECT_EQ(ReadFileBytes(dir.File("empty")), std::vector<std::uint8_t>{});
}

TEST(FileIo, MissingFilesAndDirectoriesCannotBeRead) {
    ScratchDir dir;
    EXPECT_FALSE(ReadFileBytes(dir.File("missing")));
    EXPECT_FALSE(ReadFileBytes(dir.Path().string()));
}

TEST(FileIo, ReplacingWritesTheWholeFileAndLeavesNoTemporary) {
    ScratchDir dir;
    test::WriteAll(dir.File("out.bin"), std::vector<std::uint8_t>(50, 1));
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    ASSERT_TRUE(WriteFileReplacing(dir.File("out.bin"), bytes));
    EXPECT_EQ(ReadAll(dir.File("out.bin")), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(FileIo, FailedReplaceKeepsTheOldFileAndSaysWhy) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.Path() / "taken");
    test::WriteAll(dir.File("full.bin"), {7});
    struct Case {
        const char* what;
        std::string path;
        std::optional<WriteStep> diskFullAt;
        WriteError error;
    };
    const Case cases[] = {
        {"a directory in the way", dir.File("taken"), std::nullopt, WriteError::NotAFile},
        {"no such directory", dir.File("nowhere/out.bin"), std::nullopt,
         WriteError::NoSuchDirectory},
        {"disk full on writing", dir.File("full.bin"), WriteStep::Write, WriteError::DiskFull},
        {"disk full on flushing", dir.File("full.bin"), WriteStep::Flush, WriteError::DiskFull},
    };
    for (const Case& c : cases) {
        std::optional<test::DiskFullAt> full;
        if (c.diskFullAt) {
            full.emplace(*c.diskFullAt, 1);
        }
        WriteError error = WriteError::None;
        EXPECT_FALSE(WriteFileReplacing(c.path, std::vector<std::uint8_t>{1}, &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what << ": " << DescribeWriteError(error);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "taken"));
    EXPECT_EQ(ReadAll(dir.File("full.bin")), (std::vector<std::uint8_t>{7}));
    std::filesystem::remove(dir.File("full.bin"));

    // A writer that gives up part way leaves the old file and no temporary behind.
    test::WriteAll(dir.File("old.bin"), {9, 9});
    {
        ReplacingFile file(dir.File("old.bin"));
        ASSERT_TRUE(file.Ok());
        ASSERT_TRUE(file.Write(std::vector<std::uint8_t>{1, 2, 3}));
    }
    EXPECT_EQ(ReadAll(dir.File("old.bin")), (std::vector<std::uint8_t>{9, 9}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(FileIo, TargetNamesNearTheLengthLimitCanBeReplaced) {
    ScratchDir dir;
    TEXELARY_SKIP_WITHOUT_LONG_PATHS(dir.Path());
    const std::string path = dir.File(std::string(250, 'n') + ".m8");
    const std::vector<std::uint8_t> bytes = {4, 5};
    ASSERT_TRUE(WriteFileReplacing(path, std::vector<std::uint8_t>{1}));
    ASSERT_TRUE(WriteFileReplacing(path, bytes));
    EXPECT_EQ(ReadAll(path), bytes);
}

#ifdef __unix__

// Runs `body` without special rights, which would let every write through: as is, or in a child
// process that has become the unprivileged user when the tests run as root.
bool AsOrdinaryUser(const std::function<bool()>& body) {
    if (geteuid() != 0) {
        return body();
    }
    const pid_t child = fork();
    if (child == 0) {
        const bool passed = setgid(65534) == 0 && setuid(65534) == 0 && body();
        _exit(passed ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

#define TEXELARY_SKIP_WITHOUT_PERMISSION_BITS()
#else
#define TEXELARY_SKIP_WITHOUT_PERMISSION_BITS()                                                    \
    GTEST_SKIP() << "this system has a read-only attribute, not permission bits and users"
#endif

TEST(FileIo, ReplacingKeepsThePermissionBits) {
    TEXELARY_SKIP_WITHOUT_PERMISSION_BITS();
    namespace fs = std::filesystem;
    ScratchDir dir;
    const fs::path path = dir.Path() / "kept.bin";
    test::WriteAll(path, {9});
    const fs::perms chosen = fs::perms::owner_read | fs::perms::owner_write |
                             fs::perms::group_read | fs::perms::group_write |
                             fs::perms::others_exec;
    fs::permissions(path, chosen);
    ASSERT_TRUE(WriteFileReplacing(path.string(), std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(fs::status(path).permissions(), chosen);
}

TEST(FileIo, ReplacingThroughALinkKeepsTheLink) {
    namespace fs = std::filesystem;
    ScratchDir dir;
    fs::create_directory(dir.Path() / "real");
    test::WriteAll(dir.Path() / "real" / "file.bin", {9});
    std::error_code refused;
    fs::create_symlink("real/file.bin", dir.Path() / "link.bin", refused);
    if (refused) {
        GTEST_SKIP() << "this system does not let this user make symbolic links";
    }
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    ASSERT_TRUE(WriteFileReplacing(dir.File("link.bin"), bytes));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.bin"));
    EXPECT_EQ(ReadAll(dir.Path() / "real" / "file.bin"), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "real"), {}), 1);
}

// Read-only by permission bits, or on Windows by the read-only attribute.
TEST(FileIo, ReadOnlyTargetIsNotReplaced) {
    namespace fs = std::filesystem;
    ScratchDir dir;
    fs::permissions(dir.Path(), fs::perms::all);
    const std::string path = dir.File("locked.bin");
    test::WriteAll(path, {9, 9});
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto refusedAsReadOnly = [&path] {
        WriteError error = WriteError::None;
        return !WriteFileReplacing(path, std::vector<std::uint8_t>{1}, &error) &&
               error == WriteError::ReadOnly;
    };
#ifdef __unix__
    EXPECT_TRUE(AsOrdinaryUser(refusedAsReadOnly));
#else
    EXPECT_TRUE(refusedAsReadOnly());
    // Writable again, so that the scratch directory can be removed.
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
#endif
    EXPECT_EQ(ReadAll(path), (std::vector<std::uint8_t>{9, 9}));
}

#ifdef _WIN32
HANDLE Hold(const std::string& path, DWORD access, DWORD sharing) {
    return CreateFileW(NativePath(path).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// While a file is renamed over another, the renaming handle holds the new file, and a run that
// converts the same input again reaches it then: the second writer must not need the file alone.
TEST(FileIo, FileBeingRenamedInPlaceCanBeReplacedNext) {
    ScratchDir dir;
    const std::string path = dir.File("held.bin");
    test::WriteAll(path, {9});
    // The access and sharing MoveFileExW opens its source with.
    const HANDLE held =
        Hold(path, DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ReplacingFile file(path);
    CloseHandle(held);
    const std::vector<std::uint8_t> bytes = {1, 2};
    ASSERT_TRUE(file.Write(bytes) && file.Commit());
    EXPECT_EQ(ReadAll(path), bytes);
}

// A program that reads the old file for a moment, as a virus scanner does, delays the replacing.
TEST(FileIo, FileHeldForAMomentIsReplacedAfterIt) {
    ScratchDir dir;
    const std::string path = dir.File("busy.bin");
    test::WriteAll(path, {9});
    ReplacingFile file(path);
    const std::vector<std::uint8_t> bytes = {1, 2};
    ASSERT_TRUE(file.Write(bytes) && file.Finish());
    const HANDLE held = Hold(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread reader([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        CloseHandle(held);
    });
    const bool committed = file.Commit();
    reader.join();
    EXPECT_TRUE(committed);
    EXPECT_EQ(ReadAll(path), bytes);
}
#endif

// Written in place, the file takes the new bytes whole, or keeps its old ones when a write or
// the flush fails part way.
TEST(FileIo, DirectoryThatRefusesNewFilesIsWrittenInPlaceWholeOrNotAtAll) {
    TEXELARY_SKIP_WITHOUT_PERMISSION_BITS();
#ifdef __unix__
    namespace fs = std::filesystem;
    const fs::perms everyone = fs::perms::owner_read | fs::perms::owner_write |
                               fs::perms::group_read | fs::perms::group_write |
                               fs::perms::others_read | fs::perms::others_write;
    const fs::perms closed = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec;
    const std::vector<std::uint8_t> old(5000, 9);
    const std::vector<std::uint8_t> bytes(70000, 1); // more than a stream's buffer
    const std::optional<WriteStep> none;
    for (const auto fault :
         {none, std::optional(WriteStep::Write), std::optional(WriteStep::Flush)}) {
        SCOPED_TRACE(fault ? static_cast<int>(*fault) : -1);
        ScratchDir dir;
        const std::string path = dir.File("open.bin");
        test::WriteAll(path, old);
        fs::permissions(path, everyone);
        fs::permissions(dir.Path(), closed);
        std::optional<test::DiskFullAt> full;
        if (fault) {
            full.emplace(*fault, 1);
        }
        const bool written = AsOrdinaryUser([&] { return WriteFileReplacing(path, bytes); });
        full.reset();
        fs::permissions(dir.Path(), fs::perms::owner_all);
        EXPECT_EQ(written, !fault);
        EXPECT_EQ(ReadAll(path), fault ? old : bytes);
        EXPECT_EQ(fs::status(path).permissions(), everyone);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
    }
#endif
}

} // namespace
} // namespace texelary
