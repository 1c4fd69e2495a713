// Runs texelary-convert as a child process and checks its exit status, messages and files.

#include "BmpBuilder.h"
#include "TestFiles.h"
#include "base/Version.h"
#include "project/ProjectFile.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace texelary {
namespace {

using test::ScratchDir;

struct Outcome {
    int status = -1;
    std::string errors; // standard error
    std::string output; // standard output
};

class ConvertCli : public ::testing::Test {
protected:
    ConvertCli() {
        std::filesystem::create_directories(dir.Path() / "out");
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
            test::WriteAll(dir.Path() / name, test::MakeBmp8(4, 2, {1, 2, 3, 4, 5, 6, 7, 8}));
        }
    }

    // Runs the program in the scratch directory with its standard input closed.
    Outcome Run(const std::string& arguments) const {
        const std::string command = "cd '" + dir.Path().string() + "' && '" + TEXELARY_CONVERT_EXE +
                                    "' " + arguments + " </dev/null >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const auto errors = test::ReadAll(dir.Path() / "stderr.txt");
        const auto output = test::ReadAll(dir.Path() / "stdout.txt");
        outcome.errors.assign(errors.begin(), errors.end());
        outcome.output.assign(output.begin(), output.end());
        return outcome;
    }

    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(dir.Path() / relative);
    }

    ScratchDir dir;
};

TEST_F(ConvertCli, CleanRunConvertsEveryFile) {
    const Outcome outcome = Run("--from bmp --to wal --output out a.bmp b.bmp");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.errors, "All done\n2 converted, 0 failed\n");
    EXPECT_TRUE(Exists("out/a.wal"));
    EXPECT_TRUE(Exists("out/b.wal"));
}

TEST_F(ConvertCli, MissingFileIsReportedAndTheOthersWritten) {
    const Outcome outcome = Run("--from bmp --to m8 --output out a.bmp missing.bmp c.bmp");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("Could'nt find file \"./missing.bmp\"\n"), std::string::npos)
        << outcome.errors;
    EXPECT_NE(outcome.errors.find("All done\n2 converted, 1 failed\n"), std::string::npos);
    EXPECT_EQ(outcome.errors.find('\r'), std::string::npos); // no bar without a terminal
    EXPECT_TRUE(Exists("out/a.m8"));
    EXPECT_TRUE(Exists("out/c.m8"));
}

TEST_F(ConvertCli, StopOnErrorEndsTheRunAtTheFirstFailure) {
    const Outcome missing =
        Run("--stop-on-error --from bmp --to m8 --output out missing.bmp a.bmp");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(
        missing.errors.find("Process has been aborted\n0 converted, 1 failed, 1 not attempted"),
        std::string::npos)
        << missing.errors;
    EXPECT_FALSE(Exists("out/a.m8"));

    // A box without Cancel (a bitmap that is not 256-colour) stops before the next file too.
    test::WriteAll(dir.Path() / "deep.bmp", test::MakeBmp24(2, 2));
    const Outcome palette = Run("--stop-on-error --from bmp --to m8 --output out deep.bmp a.bmp");
    EXPECT_EQ(palette.status, 1);
    EXPECT_NE(palette.errors.find("has an invalid color palette. Must be 256 colors"),
              std::string::npos);
    EXPECT_FALSE(Exists("out/a.m8"));
}

TEST_F(ConvertCli, MissingOutputDirectoryReportsEachWrite) {
    const Outcome outcome = Run("--from bmp --to m8 --output nowhere a.bmp b.bmp");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("Error writing \"nowhere/a.m8\""), std::string::npos)
        << outcome.errors;
    EXPECT_NE(outcome.errors.find("Error writing \"nowhere/b.m8\""), std::string::npos);
}

TEST_F(ConvertCli, UsageErrorsExitWithTwo) {
    for (const char* arguments :
         {"--from bmp a.bmp", "--from gif --to m8 a.bmp", "--from bmp --to m8", "--frobnicate", "",
          "--from bmp --to m8 --output", "one.mm two.mm"}) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_NE(outcome.errors.find("texelary-convert: "), std::string::npos) << arguments;
    }
    EXPECT_EQ(Run("--help").status, 0);
    EXPECT_EQ(Run("--version").output, std::string("texelary-convert ") + kVersion + "\n");
}

TEST_F(ConvertCli, RunsASavedProject) {
    Project project;
    project.inputDir = dir.Path().string();
    project.outputDir = (dir.Path() / "out").string();
    project.convFrom = 0;
    project.convTo = 1;
    project.files = {"a.bmp", "c.bmp"};
    ASSERT_TRUE(SaveProject(project, (dir.Path() / "p.mm").string()));
    const Outcome outcome = Run("p.mm");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_TRUE(Exists("out/a.wal"));
    EXPECT_TRUE(Exists("out/c.wal"));
}

TEST_F(ConvertCli, UnreadableProjectFilesExitWithTwo) {
    test::WriteAll(dir.Path() / "junk.mm", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'r', 'o', 'j'});
    for (const char* name : {"junk.mm", "absent.mm", "a.bmp"}) {
        const Outcome outcome = Run(name);
        EXPECT_EQ(outcome.status, 2) << name;
        EXPECT_EQ(outcome.errors, std::string("Could'nt open specified file. \"") + name + "\"\n");
    }
}

} // namespace
} // namespace texelary
