#include "base/FileIo.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace texelary {
namespace {

using test::ReadAll;
using test::ScratchDir;

TEST(FileIo, ReadsWholeFilesAndPrefixes) {
    ScratchDir dir;
    const std::vector<std::uint8_t> bytes(100000, 7);
    test::WriteAll(dir.File("a.bin"), bytes);
    EXPECT_EQ(ReadFileBytes(dir.File("a.bin")), bytes);
    const auto prefix = ReadFilePrefix(dir.File("a.bin"), 10);
    ASSERT_TRUE(prefix);
    EXPECT_EQ(prefix->size(), 10u);
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

TEST(FileIo, FailedReplaceKeepsTheOldFile) {
    ScratchDir dir;
    // A directory in the way, and a directory that does not exist.
    std::filesystem::create_directory(dir.Path() / "taken");
    EXPECT_FALSE(WriteFileReplacing(dir.File("taken"), std::vector<std::uint8_t>{1}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "taken"));
    EXPECT_FALSE(WriteFileReplacing(dir.File("nowhere/out.bin"), std::vector<std::uint8_t>{1}));

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

} // namespace
} // namespace texelary
