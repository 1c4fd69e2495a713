// Failing disks as POSIX systems make them: writes cut short by a file-size limit (in a child
// process), directories that refuse writes to an ordinary user. Nothing may be lost, and no failed
// write may be reported as success. The same failures on every platform, through a fault made on
// purpose in the file writer, are in AwkwardFilesTest.cpp.

#include "BmpBuilder.h"
#include "FieldFiles.h"
#include "FormatFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "archives/ArchiveBytes.h"
#include "colour/WalPalette.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/WalFormat.h"
#include "project/ProjectFile.h"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace texelary {
namespace {

using test::ReadAll;
using test::ScratchDir;

constexpr rlim_t kSizeLimit = 4096;

// Runs `body` in a child process whose files may not grow past kSizeLimit bytes (SIGXFSZ
// ignored, so a write past the limit fails with EFBIG instead of killing the process) and, when
// `asNobody` is set and we are root, without root's right to write anywhere. Returns what `body`
// returned, or -1 if the child did not end normally.
int InChild(const std::function<bool()>& body, bool limitSize, bool asNobody = false) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        if (limitSize) {
            const rlimit limit{kSizeLimit, kSizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(3);
            }
        }
        if (asNobody && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(4);
        }
        _exit(body() ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

IndexedImage Picture(std::int32_t width, std::int32_t height) {
    return test::MakePicture(width, height, [width](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>((y * width + x) % 251);
    });
}

Palette Greys() {
    Palette palette{};
    for (std::size_t i = 0; i < 768; ++i) {
        palette[i] = static_cast<std::uint8_t>(i / 3);
    }
    return palette;
}

std::size_t FilesIn(const std::filesystem::path& directory) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(directory), {}));
}

class FullDisk : public ::testing::Test {
protected:
    FullDisk() { test::WriteAll(Old(), m_oldBytes); }
    std::string Old() const { return dir.File("old.out"); }

    // The old file is still there, byte for byte, and nothing else was left behind.
    void ExpectNothingLost() const {
        EXPECT_EQ(ReadAll(Old()), m_oldBytes);
        EXPECT_EQ(FilesIn(dir.Path()), 1u);
    }

    ScratchDir dir;

private:
    std::vector<std::uint8_t> m_oldBytes = std::vector<std::uint8_t>(100, 0x5A);
};

TEST_F(FullDisk, WritersReportAWriteCutShortAndKeepTheOldFile) {
    const IndexedImage image = Picture(64, 64); // .m8 6,501 bytes, .wal 5,540: past the limit
    EXPECT_EQ(InChild([&] { return test::WriteM8File(image, Greys(), Old()); }, true), 0);
    ExpectNothingLost();

    IndexedImage walImage = Picture(64, 64);
    EXPECT_EQ(InChild([&] { return test::WriteWalFile(walImage, Greys(), Old()); }, true), 0);
    ExpectNothingLost();

    // The same writes succeed without the limit, so it is the limit that made them fail.
    EXPECT_EQ(InChild([&] { return test::WriteM8File(image, Greys(), Old()); }, false), 1);
    EXPECT_EQ(ReadAll(Old()).size(), 6501u);
}

TEST_F(FullDisk, SavingAProjectReportsAWriteCutShortAndKeepsTheOldFile) {
    Project project;
    project.files.assign(40, "wall.bmp"); // 308 + 40 x 128 = 5,428 bytes
    EXPECT_EQ(InChild([&] { return SaveProject(project, Old()); }, true), 0);
    ExpectNothingLost();
}

TEST_F(FullDisk, CommandLineReportsTheWriteAndKeepsTheOldOutput) {
    test::WriteAll(dir.File("wall.bmp"),
                   test::MakeBmp8(64, 64, std::vector<std::uint8_t>(4096, 3)));
    test::WriteAll(dir.File("wall.m8"), {1, 2, 3});
    // bash's ulimit -f counts 1024-byte blocks; trap '' XFSZ makes the program inherit the
    // ignored signal.
    const std::string command =
        "cd '" + dir.Path().string() + "' && bash -c \"trap '' XFSZ; ulimit -f 4; exec '" +
        TEXELARY_CONVERT_EXE + "' --from bmp --to m8 wall.bmp\" </dev/null 2>err.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    const auto errors = ReadAll(dir.Path() / "err.txt");
    EXPECT_NE(std::string(errors.begin(), errors.end()).find("Error writing \"./wall.m8\""),
              std::string::npos);
    EXPECT_EQ(ReadAll(dir.File("wall.m8")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(FilesIn(dir.Path()), 4u); // old.out, wall.bmp, wall.m8, err.txt: nothing new
}

TEST_F(FullDisk, SetKeepsTheOldPakAndFileWhole) {
    const std::vector<std::uint8_t> wal = test::FieldFile(EditableFormat::Wal);
    const std::vector<std::uint8_t> filler(5000, 7); // the pak past the limit, the .wal not
    const auto walLength = static_cast<std::int32_t>(wal.size());
    test::Bytes pak;
    pak.Text("PACK", 4).I32(12 + walLength + 5000).I32(128).Append(wal).Append(filler);
    pak.Text("a.wal", 56).I32(12).I32(walLength).Text("filler", 56).I32(12 + walLength).I32(5000);
    test::WriteAll(dir.File("base.pak"), pak.bytes);
    std::vector<std::uint8_t> bigWal = wal;
    bigWal.resize(5000, 9); // bytes after the levels, which the reader lets be
    test::WriteAll(dir.File("big.wal"), bigWal);
    const std::string command =
        "cd '" + dir.Path().string() + "' && bash -c \"trap '' XFSZ; ulimit -f 4; exec '" +
        TEXELARY_CONVERT_EXE + "' --set value=1 base.pak/a.wal big.wal\" </dev/null 2>err.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    const auto errors = ReadAll(dir.Path() / "err.txt");
    const std::string text(errors.begin(), errors.end());
    EXPECT_NE(text.find("texelary-convert: base.pak/a.wal: "), std::string::npos) << text;
    EXPECT_NE(text.find("texelary-convert: big.wal: "), std::string::npos) << text;
    EXPECT_NE(text.find("0 set, 2 failed\n"), std::string::npos) << text;
    EXPECT_EQ(ReadAll(dir.File("base.pak")), pak.bytes);
    EXPECT_EQ(ReadAll(dir.File("big.wal")), bigWal);
    EXPECT_EQ(FilesIn(dir.Path()), 4u); // old.out, base.pak, big.wal, err.txt: nothing new
}

TEST(AwkwardFiles, ReadOnlyOutputDirectoryFailsEveryWrite) {
    ScratchDir dir;
    const auto locked = dir.Path() / "locked";
    std::filesystem::create_directory(locked);
    test::WriteAll(locked / "keep.m8", {7});
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                    std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const IndexedImage image = Picture(8, 8);
    Project project;
    EXPECT_EQ(
        InChild([&] { return test::WriteM8File(image, Greys(), (locked / "keep.m8").string()); },
                false, true),
        0);
    EXPECT_EQ(
        InChild([&] { return SaveProject(project, (locked / "p.mm").string()); }, false, true), 0);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadAll(locked / "keep.m8"), (std::vector<std::uint8_t>{7}));
    EXPECT_EQ(FilesIn(locked), 1u);
}

} // namespace
} // namespace texelary
