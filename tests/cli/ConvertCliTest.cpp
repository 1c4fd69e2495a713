// Runs texelary-convert as a child process, or its command in this one where no file is touched,
// and checks its exit status, messages and files.

#include "BmpBuilder.h"
#include "FieldFiles.h"
#include "FormatFiles.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "archives/ArchiveBytes.h"
#include "archives/ArchiveInput.h"
#include "base/Version.h"
#include "cli/ConvertCommand.h"
#include "colour/Wad2Palette.h"
#include "colour/WalPalette.h"
#include "formats/mips/M32Format.h"
#include "formats/mips/M8Format.h"
#include "formats/mips/MipTexture.h"
#include "formats/mips/WalFormat.h"
#include "formats/pictures/PngFormat.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace texelary {
namespace {

using test::ScratchDir;
using test::Separated;
using test::Utf8;

struct Outcome {
    int status = -1;
    std::string errors; // standard error
    std::string output; // standard output
};

// The text of an output, its lines ended by "\n" as the tests write them: a Windows program's
// standard streams end lines with "\r\n".
std::string Lines(const std::vector<std::uint8_t>& bytes) {
    std::string text(bytes.begin(), bytes.end());
#ifdef _WIN32
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
#endif
    return text;
}

#ifdef _WIN32
constexpr int kCmdCouldNotStart = 9009;
#endif

class ConvertCli : public ::testing::Test {
protected:
    ConvertCli() {
        std::filesystem::create_directories(dir.Path() / "out");
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
            test::WriteAll(dir.Path() / name, test::MakeBmp8(4, 2, {1, 2, 3, 4, 5, 6, 7, 8}));
        }
    }

    // Runs the program in the scratch directory with its standard input closed, through the
    // system's shell: sh, or on Windows cmd.exe, given the command as UTF-16 so that every name
    // arrives whole. `arguments` are UTF-8, quoted with double quotes where needed.
    Outcome Run(const std::string& arguments) const {
        Outcome outcome;
#ifdef _WIN32
        const std::string command = "cd /d \"" + Utf8Path(dir.Path()) + "\" && \"" +
                                    Separated(TEXELARY_CONVERT_EXE) + "\" " + arguments +
                                    " <NUL >stdout.txt 2>stderr.txt";
        // Under wine, cmd.exe now and then fails to start a program it started a moment ago,
        // with its own status 9009 (which the program never returns), or cmd.exe itself fails
        // to start (-1): start it again then.
        for (int attempt = 0; attempt < 5; ++attempt) {
            outcome.status = _wsystem(NativePath(command).c_str());
            if (outcome.status != kCmdCouldNotStart && outcome.status != -1) {
                break;
            }
        }
#else
        const std::string command = "cd '" + Utf8Path(dir.Path()) + "' && '" +
                                    TEXELARY_CONVERT_EXE + "' " + arguments +
                                    " </dev/null >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        const auto errors = test::ReadAll(dir.Path() / "stderr.txt");
        const auto output = test::ReadAll(dir.Path() / "stdout.txt");
        outcome.errors = Lines(errors);
        outcome.output = Lines(output);
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
    EXPECT_NE(outcome.errors.find("Could'nt find file \"" + Separated("./missing.bmp") +
                                  "\": no such file\n"),
              std::string::npos)
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

// A folder that cannot take files is said once, and nothing is attempted.
TEST_F(ConvertCli, MissingOutputFolderIsSaidOnceBeforeTheRun) {
    const Outcome outcome = Run("--from bmp --to m8 --output nowhere a.bmp b.bmp");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "texelary-convert: cannot write into the output folder 'nowhere': "
                              "the folder does not exist\n");
}

TEST_F(ConvertCli, InputDirectoryIsWhereFilesAreRead) {
    std::filesystem::create_directory(dir.Path() / "in");
    test::WriteAll(dir.Path() / "in" / "a.bmp",
                   test::MakeBmp8(6, 3, std::vector<std::uint8_t>(18, 1)));
    const Outcome outcome = Run("--from bmp --to m8 --input in --output out a.bmp");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    const auto written = test::ReadM8ImageFile((dir.Path() / "out" / "a.m8").string());
    ASSERT_TRUE(written);
    EXPECT_EQ(written->width, 6); // not the 4 x 2 a.bmp of the current directory
}

TEST_F(ConvertCli, FormatNamesInUpperCase) {
    const Outcome outcome = Run("--from BMP --to WAL --output out a.bmp");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_TRUE(Exists("out/a.wal"));
    EXPECT_NE(Run("--help").output.find("in any case"), std::string::npos);
}

// The output directory's names and bytes (none for a directory).
std::map<std::string, std::vector<std::uint8_t>> FilesIn(const std::filesystem::path& directory) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& file : std::filesystem::directory_iterator(directory)) {
        files[file.path().filename().string()] =
            file.is_regular_file() ? test::ReadAll(file.path()) : std::vector<std::uint8_t>{};
    }
    return files;
}

TEST_F(ConvertCli, JobsGiveTheSameMessagesFilesAndCounts) {
    test::WriteAll(dir.Path() / "deep.bmp", test::MakeBmp24(2, 2));
    test::WriteAll(dir.Path() / "big.bmp",
                   test::MakeBmp8(256, 256, std::vector<std::uint8_t>(256 * 256, 9)));
    std::filesystem::create_directory(dir.Path() / "out" / "c.wal"); // a write that fails
    const std::string files = " big.bmp a.bmp missing.bmp b.bmp deep.bmp c.bmp a.bmp";
    for (const char* options : {"--mips box --to wal", "--to m8", "--stop-on-error --to m8",
                                "--stop-on-error --to wal"}) {
        const std::string arguments = std::string(options) + " --from bmp --output out" + files;
        std::filesystem::remove_all(dir.Path() / "out");
        std::filesystem::create_directories(dir.Path() / "out" / "c.wal");
        const Outcome one = Run("--jobs 1 " + arguments);
        const auto written = FilesIn(dir.Path() / "out");
        EXPECT_NE(one.errors.find("Could'nt find file"), std::string::npos) << one.errors;
        for (const char* jobs : {"--jobs 2 ", "--jobs 5 ", ""}) {
            std::filesystem::remove_all(dir.Path() / "out");
            std::filesystem::create_directories(dir.Path() / "out" / "c.wal");
            const Outcome many = Run(jobs + arguments);
            EXPECT_EQ(many.status, one.status) << jobs << arguments;
            EXPECT_EQ(many.errors, one.errors) << jobs << arguments;
            EXPECT_EQ(FilesIn(dir.Path() / "out"), written) << jobs << arguments;
        }
    }
}

#ifndef _WIN32
// A child process of the program in the scratch directory, standard error into stderr.txt.
pid_t Start(const std::filesystem::path& directory, const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {TEXELARY_CONVERT_EXE};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string errors = (directory / "stderr.txt").string();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(directory.c_str()) != 0 || out < 0 || dup2(out, 2) < 0) {
            _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

#endif

TEST_F(ConvertCli, AnInterruptedRunKeepsWholeFilesInTheListsOrderAndNoTemporaryOnes) {
#ifdef _WIN32
    GTEST_SKIP() << "interrupts the program with POSIX signals";
#else
    constexpr int kFiles = 300;
    std::vector<std::string> arguments = {"--jobs", "2",    "--mips", "box",      "--from",
                                          "bmp",    "--to", "wal",    "--output", "out"};
    std::vector<std::uint8_t> pixels(128 * 128);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 13 + i / 128);
    }
    const auto bitmap = test::MakeBmp8(128, 128, pixels);
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.bmp", i);
        test::WriteAll(dir.Path() / name, bitmap);
        arguments.emplace_back(name);
    }
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        std::filesystem::remove_all(dir.Path() / "out");
        std::filesystem::create_directory(dir.Path() / "out");
        const pid_t child = Start(dir.Path(), arguments);
        ASSERT_GT(child, 0);
        // Interrupted once the first file is in place, well before the last.
        while (!Exists("out/f000.wal")) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;

        const auto written = FilesIn(dir.Path() / "out");
        ASSERT_LT(written.size(), static_cast<std::size_t>(kFiles)) << "not interrupted";
        int expected = 0;
        for (const auto& [name, bytes] : written) {
            char wanted[32];
            std::snprintf(wanted, sizeof wanted, "f%03d.wal", expected++);
            EXPECT_EQ(name, wanted); // no temporary file, no gap
            EXPECT_EQ(bytes.size(), 100u + 128 * 128 + 64 * 64 + 32 * 32 + 16 * 16);
        }
        const auto errors = test::ReadAll(dir.Path() / "stderr.txt");
        EXPECT_EQ(std::string(errors.begin(), errors.end()),
                  "Process has been aborted\n" + std::to_string(written.size()) +
                      " converted, 0 failed, " + std::to_string(kFiles - written.size()) +
                      " not attempted\n");
    }
#endif
}

struct Failing {
    const char* arguments;
    std::string message; // the line on standard error, reason included
    const char* counts;
};

// The files a run refuses, each with its reason, exit status 1 and the counts.
TEST_F(ConvertCli, FailuresSayWhyAndCount) {
    IndexedImage picture = test::MakePicture(
        4, 4, [](std::int32_t x, std::int32_t) { return static_cast<std::uint8_t>(50 + x); });
    const std::vector<std::uint8_t> wal = *WriteWal(picture, WalPalette);
    test::WriteAll(dir.Path() / "game.wal", wal);
    test::WriteAll(dir.Path() / "stone.old.bmp",
                   test::MakeBmp8(6, 2, std::vector<std::uint8_t>(12, 5)));
    test::WriteAll(dir.Path() / "stone.new.bmp", test::MakeBmp8(2, 2, {1, 2, 3, 4}));
    test::WriteAll(dir.Path() / "empty.m8", {});
    std::vector<std::uint8_t> cut = test::MakeBmp8(8, 8, std::vector<std::uint8_t>(64, 3));
    cut.resize(cut.size() - 20);
    test::WriteAll(dir.Path() / "wall.bmp", cut);
    test::WriteAll(dir.Path() / "deep.bmp", test::MakeBmp24(2, 2));
    const std::vector<Failing> cases = {
        {"--from wal --to wal game.wal",
         "Error writing \"" + Separated("./game.wal") + "\": the output is the input file itself",
         "0 converted, 1 failed"},
        {"--from bmp --to m8 --output out stone.old.bmp stone.new.bmp",
         "Error writing \"" + Separated("out/stone.m8") +
             "\": an earlier file of this run was written there",
         "1 converted, 1 failed"},
        {"--from m8 --to wal --output out empty.m8",
         "Could'nt find file \"" + Separated("./empty.m8") + "\": the file is empty",
         "0 converted, 1 failed"},
        {"--from bmp --to m8 --output out wall.bmp",
         "Could'nt find file \"" + Separated("./wall.bmp") +
             "\": the file ends before its picture data",
         "0 converted, 1 failed"},
        {"--from bmp --to m8 --output out deep.bmp",
         "File \"" + Separated("./deep.bmp") +
             "\" has an invalid color palette. Must be 256 colors: not a 256-colour "
             "picture (8 bits per pixel)",
         "0 converted, 1 failed"},
    };
    for (const Failing& c : cases) {
        const Outcome outcome = Run(c.arguments);
        EXPECT_EQ(outcome.status, 1) << c.arguments;
        EXPECT_NE(outcome.errors.find(c.message + "\n"), std::string::npos) << outcome.errors;
        EXPECT_NE(outcome.errors.find(std::string("All done\n") + c.counts + "\n"),
                  std::string::npos)
            << outcome.errors;
    }
    EXPECT_EQ(test::ReadAll(dir.Path() / "game.wal"), wal);
    EXPECT_EQ(test::ReadM8ImageFile((dir.Path() / "out" / "stone.m8").string())->width, 6);
    EXPECT_FALSE(Exists("out/empty.wal"));
}

// Names outside the ANSI code page arrive whole, as arguments and in the messages, and name the
// files they name (made and checked here under their UTF-16 or byte names).
TEST_F(ConvertCli, NamesOutsideTheCodePageArriveWhole) {
    namespace fs = std::filesystem;
    for (const std::u8string name : {u8"€uro", u8"壁"}) {
        test::WriteAll(dir.Path() / fs::path(name + u8".bmp"), test::MakeBmp8(2, 2, {1, 2, 3, 4}));
    }
    const Outcome outcome =
        Run(Utf8(u8"--from bmp --to m8 --output out €uro.bmp 壁.bmp \"壁 2.bmp\""));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find(Utf8(u8"Could'nt find file \"") +
                                  Separated(Utf8(u8"./壁 2.bmp")) + "\": no such file\n"),
              std::string::npos)
        << outcome.errors;
    EXPECT_TRUE(fs::exists(dir.Path() / "out" / fs::path(u8"€uro.m8")));
    EXPECT_TRUE(fs::exists(dir.Path() / "out" / fs::path(u8"壁.m8")));

    const Outcome info = Run(Utf8(u8"--info --json 壁.bmp"));
    EXPECT_EQ(info.status, 0) << info.errors;
    EXPECT_EQ(info.output.rfind(Utf8(u8"{\"file\":\"壁.bmp\","), 0), 0u) << info.output;
}

// The command run in this process, its standard streams caught: for arguments (separated by
// single spaces, none quoted) that are refused before any file is read.
Outcome RunHere(const std::string& arguments) {
    std::vector<std::string> args;
    std::istringstream words(arguments);
    for (std::string word; words >> word;) {
        args.push_back(word);
    }
    std::ostringstream output;
    std::ostringstream errors;
    std::streambuf* const out = std::cout.rdbuf(output.rdbuf());
    std::streambuf* const err = std::cerr.rdbuf(errors.rdbuf());
    Outcome outcome;
    outcome.status = RunConvertCommand(args);
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    outcome.output = output.str();
    outcome.errors = errors.str();
    return outcome;
}

// Each message is the first rule broken, in the order the program checks them: an option's own
// value as it is read (before a later --help), then the rules between options.
TEST_F(ConvertCli, UsageErrorsExitWithTwo) {
    const std::pair<const char*, const char*> cases[] = {
        {"--from bmp a.bmp", "--to is missing"},
        {"--from gif --to m8 a.bmp",
         "unknown source format 'gif' (bmp, m8, wal, png, tga, pcx, wad2, wad3, m32 or swl)"},
        {"--from bmp --to m8", "no files given"},
        {"--frobnicate --help", "unknown option '--frobnicate'"},
        {"--jobs=2 a.bmp", "unknown option '--jobs=2'"},
        {"--FROM bmp", "unknown option '--FROM'"},
        {"", "no project file or files given"},
        {"--from bmp --to m8 --mips smooth a.bmp", "unknown mip filter 'smooth' (point or box)"},
        {"--info", "no files given"},
        {"--json a.bmp", "--json goes with --info"},
        {"--info --from bmp a.bmp", "--info takes only files (and --json)"},
        {"--info --mips box a.bmp", "--info takes only files (and --json)"},
        {"--from bmp --to m8 --output", "option '--output' needs a value"},
        {"one.mm two.mm", "give one project file, or --from and --to"},
        {"--jobs 0 --from bmp --to m8 a.bmp", "--jobs takes a number from 1 to 256, not '0'"},
        {"--jobs two --help", "--jobs takes a number from 1 to 256, not 'two'"},
        {"--jobs 257 --from bmp --to m8 a.bmp", "--jobs takes a number from 1 to 256, not '257'"},
        {"--jobs -1 --from bmp --to m8 a.bmp", "--jobs takes a number from 1 to 256, not '-1'"},
        {"--info --jobs 2 a.bmp", "--info takes only files (and --json)"},
        {"--from png --to wal --recursive --input .", "--recursive needs --input and --output"},
        {"--from png --to wal --recursive --input nowhere --output out",
         "no such input directory 'nowhere'"},
        {"--from bmp --to wal --all-levels --recursive", "--all-levels goes with --to png"},
        {"--from png --to wal --transparent-index 256 a",
         "transparent index '256' is not 0 to 255"},
        {"--info --dither", "--info takes only files (and --json)"},
        {"--from png --to wad2 --output out a", "--to wad2 needs --output FILE.wad or MAP.bsp"},
        {"--from png --to wal --output out.WAD a", "--output FILE.wad goes with --to wad2 or wad3"},
        {"--from png --to wad3 --fullbright --output a.wad a", "--fullbright goes with --to wad2"},
        {"--from wad2 --to png --input . a",
         "--from wad2 reads the textures of a wad or map: give the .wad or .bsp as --input"},
        {"--from png --to m32 --pak-entries 80 a", "--pak-entries takes 64 or 72, not '80'"},
        {"--from png --to m32 --pak-entries 72 a", "--pak-entries goes with --output FILE.pak"},
        {"--from png --to wad2 --pak-entries 72 --output a.pak a",
         "--to wad2 needs --output FILE.wad or MAP.bsp"},
        {"--info --pak-entries 72 a.pak", "--info takes only files (and --json)"},
        {"--from png --to wal --output out.bsp a", "--output MAP.bsp goes with --to wad2 or wad3"},
        {"--from wal --to png --input . --textures-of m.bsp a",
         "--textures-of takes the place of files and --recursive"},
        {"--from wad2 --to png --input a.wad --textures-of m.bsp",
         "--textures-of needs --input, a game folder or pak of textures"},
        {"--rename a gfx.wad", "--rename: 'a' is not OLD=NEW"},
        {"--rename a=b,=c gfx.wad", "--rename: '=c' is not OLD=NEW"},
        {"--rename a=b one.wad two.wad", "--rename takes one archive"},
        {"--delete --set value=1 a.wal",
         "give one of --set, --rename, --delete, --add and --extract"},
        {"--add a.wad --from bmp a.bmp", "--add takes only files"},
        {"--extract out --jobs 2 a.wad", "--extract takes only paths in archives"},
        {"--delete", "no files given"}};
    for (const auto& [arguments, message] : cases) {
        const Outcome outcome = RunHere(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_EQ(outcome.errors, std::string("texelary-convert: ") + message +
                                      "\nTry 'texelary-convert --help' for more information.\n")
            << arguments;
    }
    const Outcome help = RunHere("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--keep-header", "--mips point|box", "--info", "--json", "--jobs N",
          "bmp, m8, wal, png, tga, pcx, wad2, wad3, m32 or swl",
          "m8, wal, png, wad2, wad3, wal3, m32 or swl", "--pak-entries 64|72", "--recursive",
          "--dither", "--transparent-index 255", "--all-levels", "--palette FILE", "--sidecar",
          "--rename OLD=NEW[,...]", "--delete", "--add ARCHIVE[/FOLDER]", "--extract FOLDER"}) {
        EXPECT_NE(help.output.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(RunHere("-h --frobnicate").output, help.output); // nothing after it is read
    EXPECT_EQ(Run("--version").output, std::string("texelary-convert ") + kVersion + "\n");
}

// Every file of the source format under the input directory, its extension in any case, is
// converted into the same folders under the output directory; named folders narrow it down.
TEST_F(ConvertCli, RecursiveRunRecreatesTheFolderTree) {
    if (!TEXELARY_HAVE_LIBSPNG) {
        GTEST_SKIP() << "built without libspng";
    }
    namespace fs = std::filesystem;
    const fs::path in = dir.Path() / "in";
    fs::create_directories(in / "walls.v2" / "old");
    fs::create_directories(in / "floors");
    const auto png = test::ReadAll(test::DataPath("made/pillow.png"));
    for (const char* name :
         {"top.png", "walls.v2/brick.PNG", "walls.v2/old/moss.Png", "floors/tile.png"}) {
        test::WriteAll(in / name, png);
    }
    test::WriteAll(in / "walls.v2" / "notes.txt", {'x'});
    test::WriteAll(in / "walls.v2" / "a.bmp", test::ReadAll(dir.Path() / "a.bmp"));

    const Outcome all = Run("--from png --to wal --recursive --input in --output out");
    EXPECT_EQ(all.status, 0) << all.errors;
    EXPECT_EQ(all.errors, "All done\n4 converted, 0 failed\n");
    std::set<std::string> written;
    for (const auto& file : fs::recursive_directory_iterator(dir.Path() / "out")) {
        if (file.is_regular_file()) {
            written.insert(file.path().lexically_relative(dir.Path() / "out").generic_string());
        }
    }
    EXPECT_EQ(written, (std::set<std::string>{"top.wal", "walls.v2/brick.wal",
                                              "walls.v2/old/moss.wal", "floors/tile.wal"}));

    fs::remove_all(dir.Path() / "out");
    fs::create_directory(dir.Path() / "out");
    const Outcome some = Run("--from png --to m8 --recursive --input in --output out walls.v2");
    EXPECT_EQ(some.errors, "All done\n2 converted, 0 failed\n");
    EXPECT_TRUE(Exists("out/walls.v2/old/moss.m8"));
    EXPECT_FALSE(Exists("out/top.m8"));
}

TEST_F(ConvertCli, RunsASavedProject) {
    Project project;
    project.inputDir = dir.Path().string();
    project.outputDir = (dir.Path() / "out").string();
    project.convFrom = SourceFormat::Bmp;
    project.convTo = TargetFormat::Wal;
    project.files = {"a.bmp", "c.bmp"};
    ASSERT_TRUE(SaveProject(project, (dir.Path() / "p.mm").string()));
    const Outcome outcome = Run("p.mm");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_TRUE(Exists("out/a.wal"));
    EXPECT_TRUE(Exists("out/c.wal"));

    // Relative folders are the project file's, wherever the program starts.
    std::filesystem::create_directories(dir.Path() / "mod" / "art");
    test::WriteAll(dir.Path() / "mod" / "art" / "b.bmp",
                   test::MakeBmp8(4, 2, {1, 2, 3, 4, 5, 6, 7, 8}));
    project.inputDir = "art";
    project.outputDir = ".";
    project.files = {"b.bmp"};
    ASSERT_TRUE(SaveProject(project, (dir.Path() / "mod" / "p.mm").string()));
    const Outcome elsewhere = Run(Separated("mod/p.mm"));
    EXPECT_EQ(elsewhere.status, 0) << elsewhere.errors;
    EXPECT_TRUE(Exists("mod/b.wal"));
}

TEST_F(ConvertCli, UnreadableProjectFilesExitWithTwo) {
    test::WriteAll(dir.Path() / "junk.mm", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'r', 'o', 'j'});
    const std::pair<const char*, const char*> cases[] = {
        {"junk.mm", "not a project file"},
        {"absent.mm", "no such file"},
        {"a.bmp", "not a project file"},
    };
    for (const auto& [name, reason] : cases) {
        const Outcome outcome = Run(name);
        EXPECT_EQ(outcome.status, 2) << name;
        EXPECT_EQ(outcome.errors,
                  std::string("Could'nt open specified file. \"") + name + "\": " + reason + "\n");
    }
}

TEST_F(ConvertCli, KeepHeaderReportsANameCutToFit) {
    IndexedImage image = test::MakePicture(
        4, 4, [](std::int32_t x, std::int32_t) { return static_cast<std::uint8_t>(x); });
    const std::string full(32, 'n'); // fills the field: no zero byte left
    ASSERT_TRUE(test::WriteWalFile(image, WalPalette, (dir.Path() / "long.wal").string(),
                                   {MipFilter::Point, HeaderFields{full, "next", 1, 2, 3}}));
    auto file = test::ReadAll(dir.Path() / "long.wal");
    std::copy(full.begin(), full.end(), file.begin());
    test::WriteAll(dir.Path() / "long.wal", file);

    const Outcome outcome =
        Run("--keep-header --mips box --from wal --to m8 --output out long.wal");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.errors, "Texture name cut to fit in \"" + Separated("out/long.m8") +
                                  "\"\nAll done\n1 converted, 0 failed\n");
    EXPECT_EQ(ReadM8Fields(test::ReadAll(dir.Path() / "out/long.m8")),
              (HeaderFields{std::string(31, 'n'), "next", 1, 2, 3}));
}

TEST_F(ConvertCli, InfoDescribesARealWalFile) {
    const std::string hopper = Utf8Path(test::DataPath("wal/hopper.wal"));
    const auto bytes = test::ReadAll(hopper);
    const std::set<std::uint8_t> used(bytes.begin() + 100, bytes.begin() + 100 + 128 * 128);
    const Outcome outcome = Run("--info \"" + hopper + "\"");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.output, hopper +
                                  "\n"
                                  "  kind:             wal\n"
                                  "  size:             128 x 128\n"
                                  "  levels:           4: 128 x 128, 64 x 64, 32 x 32, 16 x 16\n"
                                  "  name:             \"\"\n"
                                  "  animation name:   \"\"\n"
                                  "  flags:            0x00000000\n"
                                  "  contents:         0x00000000\n"
                                  "  value:            0x00000000\n"
                                  "  distinct indices: " +
                                  std::to_string(used.size()) +
                                  "\n"
                                  "  format's rules:   followed\n");
}

TEST_F(ConvertCli, InfoListsTheEntriesOfPaksAndWads) {
    // A pak of a .wal and a text, and a WAD2 of a 16 x 16 mip texture and its palette.
    IndexedImage image = test::MakePicture(
        16, 16, [](std::int32_t x, std::int32_t y) { return static_cast<std::uint8_t>(x ^ y); });
    ASSERT_TRUE(test::WriteWalFile(image, WalPalette, (dir.Path() / "floor.wal").string()));
    const auto wal = test::ReadAll(dir.Path() / "floor.wal");
    const auto walSize = static_cast<std::int32_t>(wal.size());
    test::Bytes pak;
    pak.Text("PACK", 4).I32(12 + walSize + 8).I32(128).Append(wal).Text("see-also", 8);
    pak.Text("textures/floor.wal", 56).I32(12).I32(walSize);
    pak.Text("readme.txt", 56).I32(12 + walSize).I32(8);
    test::WriteAll(dir.Path() / "base.pak", pak.bytes);

    test::Bytes lump;
    lump.Text("floor", 16).I32(16).I32(16).I32(40).I32(296).I32(360).I32(376);
    lump.bytes.resize(lump.bytes.size() + 256 + 64 + 16 + 4, 7);
    const auto lumpSize = static_cast<std::int32_t>(lump.bytes.size());
    test::Bytes wad;
    wad.Text("WAD2", 4).I32(2).I32(12 + lumpSize + 768).Append(lump.bytes).Text("", 768);
    wad.I32(12).I32(lumpSize).I32(lumpSize).Append({0x44, 0, 0, 0}).Text("floor", 16);
    wad.I32(12 + lumpSize).I32(768).I32(768).Append({0x40, 0, 0, 0}).Text("palette", 16);
    test::WriteAll(dir.Path() / "TEX.WAD", wad.bytes);

    const Outcome text = Run("--info base.pak TEX.WAD");
    EXPECT_EQ(text.status, 0) << text.errors;
    EXPECT_EQ(text.output,
              "base.pak\n"
              "  kind:             pak\n"
              "  entries:          2\n"
              "    \"textures/floor.wal\", " +
                  std::to_string(wal.size()) +
                  " bytes, wal: 16 x 16, 8 x 8, 4 x 4, 2 x 2\n"
                  "    \"readme.txt\", 8 bytes, other\n"
                  "TEX.WAD\n"
                  "  kind:             wad2\n"
                  "  entries:          2\n"
                  "    \"floor\", 380 bytes, mip texture: 16 x 16, 8 x 8, 4 x 4, 2 x 2\n"
                  "    \"palette\", 768 bytes, lump 0x40\n");

    test::WriteAll(dir.Path() / "cut.pak", {pak.bytes.begin(), pak.bytes.begin() + 40});
    const Outcome json = Run("--info --json TEX.WAD cut.pak");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(
        json.output,
        "{\"file\":\"TEX.WAD\",\"kind\":\"wad2\",\"entries\":[{\"name\":\"floor\",\"size\":380,"
        "\"kind\":\"mip texture\",\"levels\":[{\"width\":16,\"height\":16},{\"width\":8,"
        "\"height\":8},{\"width\":4,\"height\":4},{\"width\":2,\"height\":2}]},{\"name\":"
        "\"palette\",\"size\":768,\"kind\":\"lump 0x40\",\"levels\":[]}]}\n"
        "{\"file\":\"cut.pak\",\"error\":\"" +
            std::string(DescribeReadError(ReadError::DirectoryPastEnd)) + "\"}\n");
}

TEST_F(ConvertCli, PakEntriesConvertAsTheSameFilesFromAFolderDo) {
    const auto wal = test::ReadAll(test::DataPath("wal/hopper.wal"));
    const auto walSize = static_cast<std::int32_t>(wal.size());
    test::Bytes pak;
    pak.Text("PACK", 4).I32(12 + 2 * walSize + 5).I32(3 * 64).Append(wal).Append(wal);
    pak.Text("hello", 5);
    pak.Text("textures/e1/hopper.wal", 56).I32(12).I32(walSize);
    pak.Text("textures/e1/copy.wal", 56).I32(12 + walSize).I32(walSize);
    pak.Text("readme.txt", 56).I32(12 + 2 * walSize).I32(5);
    test::WriteAll(dir.Path() / "Base.PAK", pak.bytes);
    test::WriteAll(dir.Path() / "hopper.wal", wal);

    const Outcome fromPak = Run("--from wal --to png --recursive --input Base.PAK --output out");
    EXPECT_EQ(fromPak.status, 0) << fromPak.errors;
    const Outcome fromFolder = Run("--from wal --to png --input . --output . hopper.wal");
    EXPECT_EQ(fromFolder.status, 0) << fromFolder.errors;
    const auto png = test::ReadAll(dir.Path() / "hopper.png");
    EXPECT_EQ(
        FilesIn(dir.Path() / "out/textures/e1"),
        (std::map<std::string, std::vector<std::uint8_t>>{{"copy.png", png}, {"hopper.png", png}}));

    // A named entry that is not there, and a pak whose directory is cut off.
    const Outcome missing =
        Run("--from wal --to m8 --input Base.PAK --output . textures/e1/gone.wal");
    EXPECT_EQ(missing.status, 1);
    // The entry's name as given, after the pak and the system's separator.
    EXPECT_EQ(missing.errors, "Could'nt find file \"" + Separated("Base.PAK/") +
                                  "textures/e1/gone.wal\": no such file\nAll done\n"
                                  "0 converted, 1 failed\n");
    test::WriteAll(dir.Path() / "cut.pak", {pak.bytes.begin(), pak.bytes.end() - 10});
    const Outcome cut = Run("--from wal --to m8 --input cut.pak --output . textures/e1/copy.wal");
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.errors.find("the pak, wad or map that holds it cannot be read"),
              std::string::npos)
        << cut.errors;
    const Outcome folder = Run("--from wal --to m8 --recursive --input Base.PAK --output . maps");
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.errors.find("no such entry or folder 'maps' in 'Base.PAK'"), std::string::npos)
        << folder.errors;
}

TEST_F(ConvertCli, InfoAsJsonForAnM8ADamagedFileAndABitmap) {
    IndexedImage image = test::MakePicture(
        2, 8, [](std::int32_t x, std::int32_t y) { return static_cast<std::uint8_t>(x + 2 * y); });
    ASSERT_TRUE(test::WriteM8File(
        image, Palette{}, (dir.Path() / "belt3.m8").string(),
        {MipFilter::Box, HeaderFields{"Mines/belt3", "Mines/belt4", 0x01000000u, 0x20u, 7}}));
    auto cut = test::ReadAll(dir.Path() / "belt3.m8");
    cut.resize(1040 + 10); // level 0 needs 16 bytes
    test::WriteAll(dir.Path() / "cut.m8", cut);
    auto padded = test::ReadAll(dir.Path() / "belt3.m8");
    padded.push_back(0); // one byte more than the levels need
    test::WriteAll(dir.Path() / "padded.m8", padded);

    const Outcome outcome = Run("--info --json belt3.m8 cut.m8 padded.m8 a.bmp");
    EXPECT_EQ(outcome.status, 1);
    // belt3.m8 and padded.m8 hold the same texture.
    const auto belt = [](const std::string& file, const std::string& rules) {
        return "{\"file\":\"" + file +
               "\",\"kind\":\"m8\",\"width\":2,\"height\":8,\"levels\":["
               "{\"width\":2,\"height\":8},{\"width\":1,\"height\":4},{\"width\":1,"
               "\"height\":2},{\"width\":1,\"height\":1}],\"version\":2,\"name\":\"Mines/belt3\","
               "\"animationName\":\"Mines/belt4\",\"flags\":\"0x01000000\",\"contents\":"
               "\"0x00000020\",\"value\":\"0x00000007\",\"distinctIndices\":16,\"followsRules\":" +
               rules + "}\n";
    };
    EXPECT_EQ(
        outcome.output,
        belt("belt3.m8", "true,\"ruleBreaks\":[]") +
            "{\"file\":\"cut.m8\",\"error\":\"the file ends before its picture data\"}\n" +
            belt("padded.m8", "false,\"ruleBreaks\":[\"the file goes on 1 byte past its last "
                              "level\"]") +
            "{\"file\":\"a.bmp\",\"kind\":\"bmp\",\"width\":4,\"height\":2,\"levels\":["
            "{\"width\":4,\"height\":2}],\"version\":null,\"name\":null,\"animationName\":null,"
            "\"flags\":null,\"contents\":null,\"value\":null,\"distinctIndices\":8,"
            "\"followsRules\":true,\"ruleBreaks\":[]}\n"
            "{\"animatedTextures\":2,\"animationProblems\":[\"the next frame of "
            "\\\"belt3.m8\\\", \\\"Mines/belt4\\\", is none of the textures given\","
            "\"the next frame of \\\"padded.m8\\\", \\\"Mines/belt4\\\", is none of the "
            "textures given\"]}\n");

    const Outcome text = Run("--info cut.m8 missing.wal notes.txt");
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(text.output, "");
    EXPECT_EQ(text.errors,
              "texelary-convert: cut.m8: the file ends before its picture data\n"
              "texelary-convert: missing.wal: no such file\n"
              "texelary-convert: notes.txt: not a kind of file this program reads (.bmp, .m8, "
              ".wal, .png, .tga, .pcx, .m32, .swl, .pak, .wad, .bsp)\n");
}

// Whatever bytes a header's names hold, --info --json writes valid JSON: UTF-8 characters as they
// are, other bytes as the characters of their numbers (0xE9 as U+00E9), control characters,
// quotes and backslashes escaped.
TEST_F(ConvertCli, InfoAsJsonKeepsEveryNameValid) {
    const IndexedImage image =
        test::MakePicture(16, 16, [](std::int32_t, std::int32_t) { return std::uint8_t{7}; });
    const auto wal =
        WriteWal(image, WalPalette,
                 {MipFilter::Point, HeaderFields{"w\xC3\xA4ll \xE9\x01\n\"\\", "", 0, 0, 0}});
    test::WriteAll(dir.Path() / "odd.wal", *wal);
    const Outcome outcome = Run("--info --json odd.wal");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_NE(outcome.output.find("\"name\":\"w\xC3\xA4ll \xC3\xA9\\u0001\\n\\\"\\\\\","),
              std::string::npos)
        << outcome.output;

    // The names of a format's own fields too.
    RgbaImage picture;
    picture.width = picture.height = 1;
    picture.pixels = {1, 2, 3, 4};
    HeaderFields fields;
    fields.m32 = M32Fields{};
    fields.m32->detailName = "d\xE9tail";
    test::WriteAll(dir.Path() / "odd.m32", *WriteM32(picture, {MipFilter::Point, fields}));
    const Outcome m32 = Run("--info --json odd.m32");
    EXPECT_EQ(m32.status, 0) << m32.errors;
    EXPECT_NE(m32.output.find("\"detail_name\":\"d\xC3\xA9tail\""), std::string::npos)
        << m32.output;
}

// A 16 x 16 mip texture lump made byte by byte: pixel i of each level is index (i + level) % 256,
// and a WAD3 lump ends with the palette whose entry i is (i, 255 - i, 7).
std::vector<std::uint8_t> MipLump(const std::string& name, bool wad3) {
    test::Bytes lump;
    lump.Text(name, 16).I32(16).I32(16).I32(40).I32(40 + 256).I32(40 + 320).I32(40 + 336);
    for (const int size : {256, 64, 16, 4}) {
        for (int i = 0; i < size; ++i) {
            lump.bytes.push_back(static_cast<std::uint8_t>(i + (size == 256 ? 0 : 1)));
        }
    }
    if (wad3) {
        lump.bytes.insert(lump.bytes.end(), {0, 1}); // 256 colours
        for (int i = 0; i < 256; ++i) {
            lump.bytes.insert(lump.bytes.end(), {static_cast<std::uint8_t>(i),
                                                 static_cast<std::uint8_t>(255 - i), 7});
        }
    }
    return lump.bytes;
}

// The level-0 picture and palette of the lump `name` of the wad at `path`.
std::optional<MipTexture> LumpOf(const std::string& path, const std::string& name, WadKind kind) {
    const auto bytes = ReadInput(path + "/" + name, nullptr, kind);
    return bytes ? DecodeMipTexture(*bytes, kind) : std::nullopt;
}

TEST_F(ConvertCli, WadTexturesAreReadByLumpNameInAnyCase) {
    const auto lava = MipLump("*Lava", true);
    const auto size = static_cast<std::int32_t>(lava.size());
    test::Bytes wad;
    wad.Text("WAD3", 4).I32(2).I32(12 + size + 4).Append(lava).Append({1, 2, 3, 4});
    wad.I32(12).I32(size).I32(size).Append({0x43, 0, 0, 0}).Text("*Lava", 16);
    wad.I32(12 + size).I32(4).I32(4).Append({0x40, 0, 0, 0}).Text("palette", 16);
    test::WriteAll(dir.Path() / "src.wad", wad.bytes);

    const Outcome all = Run("--from wad3 --to png --recursive --input src.wad --output out");
    EXPECT_EQ(all.status, 0) << all.errors;
    EXPECT_EQ(FilesIn(dir.Path() / "out").size(), 1u); // the palette lump is no texture
    const auto png = test::ReadAll(dir.Path() / "out" / "#Lava.png");
    const auto picture = ParsePngPicture(png);
    ASSERT_TRUE(picture && picture->IsIndexed());
    const auto lump = DecodeMipTexture(lava, WadKind::Wad3);
    EXPECT_EQ(test::PixelsOf(*picture->indexed), test::PixelsOf(*lump->image));
    EXPECT_EQ(picture->palette, lump->palette);

    const std::pair<const char*, const char*> named[] = {
        {"--from wad3 --to png --input src.wad --output . \"*LAVA\"", ""},
        {"--from wad2 --to png --input src.wad --output . \"*Lava\"",
         "the wad or map holds the other kind of textures (WAD2 or WAD3)"},
        {"--from wad3 --to png --input src.wad --output . palette",
         "the lump is not a mip texture"},
        {"--from wad3 --to png --input src.wad --output . stone", "no such file"},
    };
    for (const auto& [arguments, why] : named) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, *why == '\0' ? 0 : 1) << arguments;
        EXPECT_EQ(outcome.errors.find(why), *why == '\0' ? 0 : outcome.errors.find(": ") + 2)
            << outcome.errors;
    }
    EXPECT_EQ(test::ReadAll(dir.Path() / "#LAVA.png"), png);
}

TEST_F(ConvertCli, ArchiveOutputsHoldWhatFolderOutputsDo) {
    const auto wal = test::ReadAll(test::DataPath("wal/hopper.wal"));
    std::filesystem::create_directories(dir.Path() / "walls" / "deep");
    test::WriteAll(dir.Path() / "walls" / "hopper.wal", wal);
    test::WriteAll(dir.Path() / "walls" / "deep" / "copy.wal", wal);
    const std::string run = "--from wal --recursive --input walls ";
    ASSERT_EQ(Run(run + "--to png --output out").status, 0);

    const Outcome pak = Run(run + "--to png --output out.pak");
    ASSERT_EQ(pak.status, 0) << pak.errors;
    std::string reason;
    const auto names = ArchiveEntryNames(dir.File("out.pak"), reason);
    ASSERT_TRUE(names) << reason;
    EXPECT_EQ(*names, (std::vector<std::string>{"deep/copy.png", "hopper.png"}));
    for (const std::string& name : *names) {
        EXPECT_EQ(ReadInput(dir.File("out.pak") + "/" + name, nullptr),
                  test::ReadAll(dir.Path() / "out" / NativePath(name)))
            << name;
    }

    // A folder named after the pak holds every entry.
    const Outcome inFolder =
        Run(run + "--to png --output " + Separated("in.pak/textures/mod/") + " --pak-entries 72");
    ASSERT_EQ(inFolder.status, 0) << inFolder.errors;
    EXPECT_EQ(ArchiveEntryNames(dir.File("in.pak"), reason),
              (std::vector<std::string>{"textures/mod/deep/copy.png", "textures/mod/hopper.png"}));

    // A WAD3 keeps a palette picture's indices and palette, and reads back as the same PNG.
    const Outcome wad = Run(run + "--to wad3 --output w.wad");
    ASSERT_EQ(wad.status, 0) << wad.errors;
    const auto hopper = ReadWalImage(wal);
    for (const char* name : {"hopper", "copy"}) {
        const auto lump = LumpOf(dir.File("w.wad"), name, WadKind::Wad3);
        ASSERT_TRUE(lump) << name;
        EXPECT_EQ(test::PixelsOf(*lump->image), test::PixelsOf(*hopper)) << name;
        EXPECT_EQ(lump->palette, WalPalette) << name;
    }
    ASSERT_EQ(Run("--from wad3 --to png --input w.wad --output . hopper").status, 0);
    EXPECT_EQ(test::ReadAll(dir.Path() / "hopper.png"),
              test::ReadAll(dir.Path() / "out" / "hopper.png"));
}

// The run's refusals and notices for a wad's textures (tests/convert/WadRunTest.cpp) reach
// standard error a line each, and a run with a refused texture ends with status 1.
TEST_F(ConvertCli, WadRulesArePrintedAndFailTheRun) {
    const auto opaque = [](std::int32_t x, std::int32_t y) {
        return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(16 * x),
                                           static_cast<std::uint8_t>(16 * y), 90, 255};
    };
    test::WriteAll(dir.Path() / "odd.tga", test::MakeTga32(24, 16, opaque));
    test::WriteAll(dir.Path() / "averyveryverylongname.tga", test::MakeTga32(16, 16, opaque));
    const Outcome outcome =
        Run("--from tga --to wad3 --output t.wad odd.tga averyveryverylongname.tga");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors,
              "Error writing \"t.wad/odd\": a wad's textures must be a multiple of 16 pixels wide "
              "and high\n"
              "Texture name cut to fit in \"t.wad/averyveryverylo\"\n"
              "All done\n1 converted, 1 failed\n");
    std::string reason;
    EXPECT_EQ(ArchiveEntryNames(dir.File("t.wad"), reason),
              (std::vector<std::string>{"averyveryverylo"}));
}

// --fullbright reaches the run: a colour that only a full-bright entry has keeps that entry with
// it and takes an ordinary one without (which one: tests/convert/WadRunTest.cpp).
TEST_F(ConvertCli, FullbrightLetsWad2TexturesTakeFullBrightColours) {
    std::size_t bright = 224;
    const auto at = [](std::size_t i) {
        return std::array<std::uint8_t, 4>{Wad2Palette[3 * i], Wad2Palette[3 * i + 1],
                                           Wad2Palette[3 * i + 2], 255};
    };
    const auto ordinary = [&](std::size_t i) {
        for (std::size_t k = 0; k < 224; ++k) {
            if (at(k) == at(i)) {
                return true;
            }
        }
        return false;
    };
    while (bright < 256 && ordinary(bright)) {
        ++bright;
    }
    ASSERT_LT(bright, 256u);
    test::WriteAll(dir.Path() / "lamp.tga",
                   test::MakeTga32(16, 16, [&](std::int32_t, std::int32_t) { return at(bright); }));
    for (const bool fullbright : {false, true}) {
        const Outcome outcome = Run(std::string("--from tga --to wad2 --output l.wad lamp.tga") +
                                    (fullbright ? " --fullbright" : ""));
        ASSERT_EQ(outcome.status, 0) << outcome.errors;
        const auto lamp = LumpOf(dir.File("l.wad"), "lamp", WadKind::Wad2);
        ASSERT_TRUE(lamp);
        const std::uint8_t index = lamp->image->pixels[0];
        EXPECT_EQ(index == bright, fullbright) << int{index};
        EXPECT_EQ(index < 224, !fullbright) << int{index};
    }
}

TEST_F(ConvertCli, AnArchiveIsWrittenOnlyByAWholeRun) {
    test::WriteAll(dir.Path() / "keep.wad", {'o', 'l', 'd'});
    test::WriteAll(dir.Path() / "wall.bmp",
                   test::MakeBmp8(16, 16, std::vector<std::uint8_t>(256, 3)));
    const auto before = FilesIn(dir.Path());
    const Outcome stopped =
        Run("--from bmp --to wad2 --stop-on-error --output keep.wad wall.bmp missing.bmp");
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(FilesIn(dir.Path()).size(), before.size() + 2); // stdout.txt and stderr.txt
    EXPECT_EQ(test::ReadAll(dir.Path() / "keep.wad"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));

    const Outcome whole = Run("--from bmp --to wad2 --output keep.wad wall.bmp missing.bmp");
    EXPECT_EQ(whole.status, 1); // one failed, the other is in the wad
    std::string reason;
    EXPECT_EQ(ArchiveEntryNames(dir.File("keep.wad"), reason), std::vector<std::string>{"wall"});

    const Outcome nowhere = Run("--from bmp --to wad2 --output nowhere/x.wad wall.bmp");
    EXPECT_EQ(nowhere.errors, "Error writing \"nowhere/x.wad\": no such directory\n"
                              "Process has been aborted\n0 converted, 0 failed, 1 not attempted\n");
    std::filesystem::create_directory(dir.Path() / "d.wad");
    const Outcome taken = Run("--from bmp --to wad2 --output d.wad wall.bmp");
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.errors, "Error writing \"d.wad\": a folder has that name\n"
                            "Process has been aborted\n0 converted, 0 failed, 1 not attempted\n");
}

// A texture on the .wal palette goes to PNG and back unchanged: every index, those of repeated
// colours included, and with --transparent-index its holes, which the PNG marks see-through.
TEST_F(ConvertCli, WalToPngAndBackKeepsEveryIndexAndTheHoles) {
    const IndexedImage image = test::MakePicture(16, 16, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(16 * y + x);
    });
    const auto wal = WriteWal(image, WalPalette);
    ASSERT_TRUE(wal);
    test::WriteAll(dir.Path() / "game.wal", *wal);
    for (const bool holes : {false, true}) {
        SCOPED_TRACE(holes);
        const std::string option = holes ? " --transparent-index 255" : "";
        ASSERT_EQ(Run("--from wal --to png --output . game.wal" + option).status, 0);
        const auto png = ParsePngPicture(test::ReadAll(dir.Path() / "game.png"));
        ASSERT_TRUE(png && png->IsIndexed());
        EXPECT_EQ(png->paletteAlpha[255], holes ? 0 : 255);
        EXPECT_EQ(png->paletteAlpha[254], 255);
        ASSERT_EQ(Run("--from png --to wal --output out game.png" + option).status, 0);
        EXPECT_EQ(test::ReadAll(dir.Path() / "out" / "game.wal"), *wal);
    }
}

// --sidecar: a .wal to PNG and back comes back whole, fields included, through the .wal_json
// beside the PNG; without it the way back has no fields to give. A .wal_json that holds no fields
// fails its picture rather than giving an output without them.
TEST_F(ConvertCli, SidecarCarriesTheFieldsThroughAPng) {
    const IndexedImage image = test::MakePicture(16, 16, [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint8_t>(16 * y + x);
    });
    const auto wal = WriteWal(
        image, WalPalette, {MipFilter::Point, HeaderFields{"e1u1/water", "e1u1/water2", 8, 32, 5}});
    ASSERT_TRUE(wal);
    test::WriteAll(dir.Path() / "water.wal", *wal);
    ASSERT_EQ(Run("--from wal --to png --sidecar --output . water.wal").status, 0);
    const auto sidecar = test::ReadAll(dir.Path() / "water.wal_json");
    EXPECT_NE(std::string(sidecar.begin(), sidecar.end()).find("\"animation\": \"e1u1/water2\""),
              std::string::npos);
    ASSERT_EQ(Run("--from png --to wal --sidecar --output out water.png").status, 0);
    EXPECT_EQ(test::ReadAll(dir.Path() / "out" / "water.wal"), *wal);
    std::filesystem::create_directories(dir.Path() / "plain");
    std::filesystem::create_directories(dir.Path() / "bad");
    ASSERT_EQ(Run("--from png --to wal --output plain water.png").status, 0);
    EXPECT_NE(test::ReadAll(dir.Path() / "plain" / "water.wal"), *wal);

    const std::string bogus = R"({"flags": "bogus"})";
    test::WriteAll(dir.Path() / "water.wal_json",
                   std::vector<std::uint8_t>(bogus.begin(), bogus.end()));
    const Outcome bad = Run("--from png --to wal --keep-header --output bad water.png");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.errors.find("does not hold texture fields: \"flags\": \"bogus\" is not a number"),
              std::string::npos)
        << bad.errors;
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "bad" / "water.wal"));
}

// --info on a folder looks at its textures' animation chains: every next frame must be one of
// them, named by its path under the folder or its header name, and every chain must close.
TEST_F(ConvertCli, InfoChecksTheAnimationChainsOfAFolder) {
    struct Frame {
        const char* file;
        const char* name; // the header's
        const char* next;
    };
    const Frame frames[] = {
        {"e1/water1.wal", "e1/water1", "e1/water2"}, // closed: 1, 2, 3, 1
        {"e1/water2.wal", "", "E1/WATER3"},          // found by its path, in any case
        {"e1/water3.wal", "e1/water3", "e1/water1"},
        {"e1/belt1.wal", "e1/belt1", "e1/belt2"}, // open: belt2 names no next frame
        {"e1/belt2.wal", "e1/belt2", ""},
        {"e1/lava1.wal", "e1/lava1", "e1/lava9"}, // a frame that is not there
        {"e1/fan1.wal", "e1/fan1", "e1/fan2"},    // into a loop without it: 2, 3, 2
        {"e1/fan2.wal", "e1/fan2", "e1/fan3"},
        {"e1/fan3.wal", "e1/fan3", "e1/fan2"},
        {"e1/+0lava.wal", "", ""}, // numbered frames: +2 is missing
        {"e1/+1LAVA.wal", "", ""},
        {"e1/+3lava.wal", "", ""},
        {"e1/+0sky.wal", "", ""}, // a whole run
        {"e1/+1sky.wal", "", ""},
    };
    std::filesystem::create_directories(dir.Path() / "textures" / "e1");
    const IndexedImage image =
        test::MakePicture(16, 16, [](std::int32_t, std::int32_t) { return std::uint8_t{7}; });
    for (const Frame& frame : frames) {
        const auto wal = WriteWal(
            image, WalPalette, {MipFilter::Point, HeaderFields{frame.name, frame.next, 0, 0, 0}});
        test::WriteAll(dir.Path() / "textures" / NativePath(frame.file), *wal);
    }
    const Outcome outcome = Run("--info textures");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    const std::string root = Separated("textures/e1/");
    const std::string chains = outcome.output.substr(outcome.output.find("animations:"));
    EXPECT_EQ(chains, "animations: 13 frames\n"
                      "  the animation through \"" +
                          root + "belt1.wal\" ends at \"" + root +
                          "belt2.wal\", which names no next frame\n"
                          "  the animation through \"" +
                          root +
                          "fan1.wal\" runs into a loop that "
                          "does not come back to it\n"
                          "  the next frame of \"" +
                          root +
                          "lava1.wal\", \"e1/lava9\", is none of "
                          "the textures given\n"
                          "  the frames of \"lava\" run to +3 without +2\n");
}

// --palette gives .wal textures the mod's palette to index, and true colour for .m8 the palette
// to take instead of one of its own; a file that cannot serve is refused before anything runs.
TEST_F(ConvertCli, APaletteFileReplacesTheBuiltInOnes) {
    std::vector<std::uint8_t> grey(768);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<std::uint8_t>(i / 3);
    }
    test::WriteAll(dir.Path() / "grey.lmp", grey);
    test::WriteAll(dir.Path() / "three.pal",
                   {'J', 'A',  'S', 'C',  '-', 'P', 'A', 'L', '\n', '0',  '1', '0',
                    '0', '\n', '3', '\n', '1', ' ', '2', ' ', '3',  '\n', '4', ' ',
                    '5', ' ',  '6', '\n', '7', ' ', '8', ' ', '9',  '\n'});
    test::WriteAll(dir.Path() / "stone.tga",
                   test::MakeTga32(16, 16, [](std::int32_t, std::int32_t) {
                       return std::array<std::uint8_t, 4>{100, 100, 100, 255};
                   }));
    ASSERT_EQ(Run("--from tga --to wal --palette grey.lmp --output out stone.tga").status, 0);
    const auto wal = test::ReadAll(dir.Path() / "out" / "stone.wal");
    EXPECT_EQ(wal.at(100), 100); // level 0's first pixel: grey 100 of the given palette
    ASSERT_EQ(Run("--from tga --to m8 --palette grey.lmp --output out stone.tga").status, 0);
    const auto m8 = test::ReadAll(dir.Path() / "out" / "stone.m8");
    Palette palette{};
    ASSERT_TRUE(ReadM8Palette(palette, m8));
    EXPECT_EQ(std::vector<std::uint8_t>(palette.begin(), palette.end()), grey);
    EXPECT_EQ(ReadM8Image(m8)->pixels[0], 100);

    const std::pair<const char*, const char*> refused[] = {
        {"--from tga --to wal --palette three.pal stone.tga",
         "cannot use the palette 'three.pal': it has 3 colours, and wal textures index 256"},
        {"--from tga --to m8 --palette stone.tga stone.tga",
         "cannot use the palette 'stone.tga': the picture has no palette (true colour)"},
        {"--from tga --to m8 --palette none.lmp stone.tga",
         "cannot use the palette 'none.lmp': no such file"},
    };
    for (const auto& [arguments, message] : refused) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_EQ(outcome.errors, std::string("texelary-convert: ") + message +
                                      "\nTry 'texelary-convert --help' for more information.\n");
    }
    // Three colours do for a palette true colour takes: its entries past them are never chosen.
    ASSERT_EQ(Run("--from tga --to m8 --palette three.pal --output out stone.tga").status, 0);
    EXPECT_EQ(ReadM8Image(test::ReadAll(dir.Path() / "out" / "stone.m8"))->pixels[0], 2);
}

// A project runs with the settings kept beside it, its palette found from the project's folder;
// a palette given on the command line is taken instead.
TEST_F(ConvertCli, ASavedProjectTakesTheSettingsKeptBesideIt) {
    std::filesystem::create_directories(dir.Path() / "mod" / "out");
    std::vector<std::uint8_t> grey(768);
    std::vector<std::uint8_t> inverse(768);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<std::uint8_t>(i / 3);
        inverse[i] = static_cast<std::uint8_t>(255 - i / 3);
    }
    test::WriteAll(dir.Path() / "mod" / "grey.lmp", grey);
    test::WriteAll(dir.Path() / "inverse.lmp", inverse);
    test::WriteAll(dir.Path() / "mod" / "stone.tga",
                   test::MakeTga32(16, 16, [](std::int32_t, std::int32_t) {
                       return std::array<std::uint8_t, 4>{100, 100, 100, 255};
                   }));
    Project project;
    project.inputDir = ".";
    project.outputDir = "out";
    project.convFrom = SourceFormat::Tga;
    project.convTo = TargetFormat::Wal;
    project.files = {"stone.tga"};
    const std::string path = dir.File("mod/p.mm");
    ASSERT_TRUE(SaveProject(project, path));
    ASSERT_EQ(Run("--from tga --to wal --input mod --output mod/out stone.tga").status, 0);
    const std::uint8_t builtIn = test::ReadAll(dir.Path() / "mod" / "out" / "stone.wal").at(100);
    ASSERT_NE(builtIn, 100);

    const struct {
        bool kept; // a settings file naming grey.lmp beside the project
        const char* options;
        std::uint8_t pixel; // level 0's first
    } rows[] = {
        {false, "", builtIn},
        {true, "", 100},
        {true, "--palette inverse.lmp ", 155},
    };
    for (const auto& row : rows) {
        std::filesystem::remove(ProjectSettingsPath(path));
        ProjectSettings settings;
        settings.paletteFile = dir.File("mod/grey.lmp");
        ASSERT_TRUE(!row.kept || SaveProjectSettings(settings, path));
        const Outcome outcome = Run(row.options + Separated("mod/p.mm"));
        ASSERT_EQ(outcome.status, 0) << outcome.errors;
        EXPECT_EQ(test::ReadAll(dir.Path() / "mod" / "out" / "stone.wal").at(100), row.pixel)
            << row.kept << row.options;
    }
}

// A version-38 map of texture infos only: each name with the index of its next frame.
std::vector<std::uint8_t>
NamingMap(const std::vector<std::pair<std::string, std::int32_t>>& infos) {
    test::Bytes map;
    map.Text("IBSP", 4).I32(38);
    for (int lump = 0; lump < 19; ++lump) {
        map.I32(lump == 5 ? 160 : 0)
            .I32(lump == 5 ? static_cast<std::int32_t>(76 * infos.size()) : 0);
    }
    for (const auto& [name, next] : infos) {
        map.Text("", 40).Text(name, 32).I32(next);
    }
    return map.bytes;
}

TEST_F(ConvertCli, InfoListsTheTexturesOfMaps) {
    for (const char* name : {"example-bsp2.bsp", "cube.bsp"}) {
        std::filesystem::copy_file(test::DataPath(std::string("maps/") + name), dir.Path() / name);
    }
    // water1 and water2 play in turn; lava1 names a frame the map does not.
    test::WriteAll(
        dir.Path() / "q2.bsp",
        NamingMap({{"e1/water1", 1}, {"e1/water2", 0}, {"e1/lava1", 7}, {"e1/water1", -1}}));
    const Outcome outcome = Run("--info example-bsp2.bsp cube.bsp q2.bsp");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.output,
              "example-bsp2.bsp\n"
              "  kind:             map BSP2\n"
              "  entries:          5\n"
              "    \"skip\", 40 bytes, outside: 64 x 64\n"
              "    \"wood\", 40 bytes, outside: 128 x 128\n"
              "    \"bricks\", 40 bytes, outside: 32 x 32\n"
              "    \"16_blood_3\", 380 bytes, mip texture: 16 x 16, 8 x 8, 4 x 4, 2 x 2\n"
              "    \"origin\", 40 bytes, outside: 64 x 64\n"
              "cube.bsp\n"
              "  kind:             map 29\n"
              "  entries:          0\n"
              "  missing:          1\n"
              "q2.bsp\n"
              "  kind:             map 38\n"
              "  textures:         3 named\n"
              "    \"e1/water1\", next frame \"e1/water2\"\n"
              "    \"e1/water2\", next frame \"e1/water1\"\n"
              "    \"e1/lava1\"\n"
              "animations: 2 frames, every chain closes\n");
}

// --textures-of takes what a version-38 map names from a game folder, in any case, and says what
// the folder lacks.
TEST_F(ConvertCli, TexturesOfAMapComeFromTheGameFolder) {
    std::filesystem::create_directories(dir.Path() / "game" / "textures" / "e1");
    const IndexedImage image = test::MakePicture(
        16, 16, [](std::int32_t x, std::int32_t) { return static_cast<std::uint8_t>(x); });
    for (const char* name : {"game/textures/e1/WATER1.wal", "game/textures/e1/water2.wal",
                             "game/textures/e1/unused.wal"}) {
        test::WriteAll(dir.Path() / NativePath(name), *WriteWal(image, WalPalette));
    }
    test::WriteAll(dir.Path() / "q2.bsp",
                   NamingMap({{"e1/water1", 1}, {"e1/water2", 0}, {"e1/lava1", -1}}));
    const Outcome outcome =
        Run("--from wal --to wal --input game --textures-of q2.bsp --output needs.pak");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors,
              "texelary-convert: 'q2.bsp' names 3 textures; the input lacks 1 of them:\n"
              "  e1/lava1\n"
              "All done\n"
              "2 converted, 0 failed\n");
    std::string reason;
    EXPECT_EQ(ArchiveEntryNames(dir.File("needs.pak"), reason),
              (std::vector<std::string>{"textures/e1/WATER1.wal", "textures/e1/water2.wal"}));
}

// Files named in sub-folders of the input get their folders under the output, as --recursive
// gives them; none are made outside it.
TEST_F(ConvertCli, NamedFilesInSubFoldersGetTheirFolders) {
    namespace fs = std::filesystem;
    fs::create_directories(dir.Path() / "in" / "game" / "e1" / "u3");
    fs::create_directories(dir.Path() / "in" / "other");
    fs::copy_file(dir.Path() / "a.bmp", dir.Path() / "in" / "game" / "e1" / "u3" / "a.bmp");
    fs::copy_file(dir.Path() / "a.bmp", dir.Path() / "in" / "other" / "a.bmp");
    const Outcome outcome =
        Run("--from bmp --to m8 --input " + Separated("in/game") + " --output out " +
            Separated("e1/u3/a.bmp") + " " + Separated("../other/a.bmp"));
    EXPECT_EQ(outcome.status, 1) << outcome.errors;
    EXPECT_TRUE(fs::is_regular_file(dir.Path() / "out" / "e1" / "u3" / "a.m8"));
    EXPECT_FALSE(fs::exists(dir.Path() / "other")); // out/../other
}

} // namespace
} // namespace texelary

namespace texelary {
namespace {

// A pak or wad whose first entry holds `first` and second `second`, directory last.
std::vector<std::uint8_t> TwoEntryArchive(bool pak, const std::vector<std::uint8_t>& first,
                                          const std::vector<std::uint8_t>& second,
                                          std::string_view firstName) {
    const auto firstLength = static_cast<std::int32_t>(first.size());
    const auto secondLength = static_cast<std::int32_t>(second.size());
    const std::int32_t directory = 12 + firstLength + secondLength;
    test::Bytes b;
    b.Text(pak ? "PACK" : "WAD2", 4).I32(pak ? directory : 2).I32(pak ? 128 : directory);
    b.Append(first).Append(second);
    const auto entry = [&](std::string_view name, std::int32_t at, std::int32_t length) {
        if (pak) {
            b.Text(name, 56).I32(at).I32(length);
        } else {
            b.I32(at).I32(length).I32(length).Append({0x44, 0, 0, 0}).Text(name, 16);
        }
    };
    entry(firstName, 12, firstLength);
    entry("other", 12 + firstLength, secondLength);
    return b.bytes;
}

TEST_F(ConvertCli, SetChangesOnlyTheFieldsNamedInFilesAndPaks) {
    const std::vector<std::uint8_t> wal = test::FieldFile(EditableFormat::Wal);
    const std::vector<std::uint8_t> pak = TwoEntryArchive(true, wal, {1, 2, 3, 4}, "t/a.wal");
    test::WriteAll(dir.Path() / "a.wal", wal);
    test::WriteAll(dir.Path() / "base.pak", pak);
    const Outcome outcome = Run("--set value=5,flags=-SURF_WARP a.wal base.pak/t/a.wal a.bmp");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "texelary-convert: a.bmp: not a .wal, .m8, .m32 or .swl texture\n"
                              "2 set, 1 failed\n");
    std::vector<std::uint8_t> expected = wal, expectedPak = pak;
    test::PatchLE(expected, 96, 5), test::PatchLE(expected, 88, 0);
    test::PatchLE(expectedPak, 12 + 96, 5), test::PatchLE(expectedPak, 12 + 88, 0);
    EXPECT_EQ(test::ReadAll(dir.Path() / "a.wal"), expected);
    EXPECT_EQ(test::ReadAll(dir.Path() / "base.pak"), expectedPak);
    EXPECT_EQ(Run("--set bogus=1 a.wal").status, 2);
}

TEST_F(ConvertCli, SetRenamesAWadTextureInItsEntryAndItsLump) {
    const IndexedImage picture =
        test::MakePicture(16, 16, [](int x, int) { return static_cast<std::uint8_t>(x); });
    const std::vector<std::uint8_t> lump = *EncodeWad2MipTexture(picture, "brick");
    const std::vector<std::uint8_t> wad = TwoEntryArchive(false, lump, lump, "brick");
    test::WriteAll(dir.Path() / "gfx.wad", wad);
    EXPECT_EQ(Run("--set flags=1 gfx.wad/brick").errors,
              "texelary-convert: gfx.wad/brick: a wad texture has only a name to set\n"
              "0 set, 1 failed\n");
    EXPECT_EQ(Run("--set name=other gfx.wad/brick").status, 1);
    EXPECT_EQ(Run("--set name=stone gfx.wad/BRICK").status, 0);
    std::vector<std::uint8_t> expected = wad;
    test::PatchText(expected, 12, 16, "stone");
    test::PatchText(expected, 12 + 2 * lump.size() + 16, 16, "stone");
    EXPECT_EQ(test::ReadAll(dir.Path() / "gfx.wad"), expected);
}

// One entry of an archive built byte by byte: a wad's lump type, or 0 in a pak.
struct Member {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::uint8_t type = 0x44;
};

// A pak or WAD2 of `members` in their order, the directory after them, as the program writes one.
std::vector<std::uint8_t> ArchiveOf(bool pak, const std::vector<Member>& members) {
    std::int32_t directory = 12;
    for (const Member& member : members) {
        directory += static_cast<std::int32_t>(member.bytes.size());
    }
    const auto count = static_cast<std::int32_t>(members.size());
    test::Bytes b;
    b.Text(pak ? "PACK" : "WAD2", 4).I32(pak ? directory : count).I32(pak ? 64 * count : directory);
    for (const Member& member : members) {
        b.Append(member.bytes);
    }
    std::int32_t at = 12;
    for (const Member& member : members) {
        const auto length = static_cast<std::int32_t>(member.bytes.size());
        if (pak) {
            b.Text(member.name, 56).I32(at).I32(length);
        } else {
            b.I32(at).I32(length).I32(length).Append({member.type, 0, 0, 0}).Text(member.name, 16);
        }
        at += length;
    }
    return b.bytes;
}

// --rename, --delete and --add leave the archive holding exactly what one built here holds, and
// a failure changes nothing.
TEST_F(ConvertCli, EntriesAreRenamedDeletedAndAddedInPlace) {
    const IndexedImage picture =
        test::MakePicture(16, 16, [](int x, int y) { return static_cast<std::uint8_t>(x + y); });
    const std::vector<std::uint8_t> brick = *EncodeWad2MipTexture(picture, "brick");
    std::vector<std::uint8_t> stone = brick;
    test::PatchText(stone, 0, 16, "stone");
    const std::vector<std::uint8_t> palette(768, 5), wal = test::FieldFile(EditableFormat::Wal);
    const std::vector<std::uint8_t> text = {'h', 'i', '!', '\n'};
    test::WriteAll(dir.Path() / "a.wal", wal);
    const std::vector<Member> wad = {{"brick", brick}, {"palette", palette, 0x40}};
    const std::vector<Member> pak = {
        {"textures/a.wal", wal}, {"textures/b.wal", wal}, {"readme.txt", text}};
    const struct {
        const char* arguments;
        bool pak;
        std::vector<Member> before, after;
        int status;
        const char* errors;
    } rows[] = {
        {"--rename BRICK=stone,palette=colours gfx.wad",
         false,
         wad,
         {{"stone", stone}, {"colours", palette, 0x40}},
         0,
         "All done\n2 renamed, 0 failed\n"},
        {"--rename nothing=x gfx.wad", false, wad, wad, 1,
         "texelary-convert: gfx.wad/nothing: no such entry in the archive\n"
         "0 renamed, 1 failed\n"},
        {"--delete base.pak/textures base.pak/missing.wal",
         true,
         pak,
         {{"readme.txt", text}},
         1,
         "texelary-convert: base.pak/missing.wal: no such entry in the archive\n"
         "1 deleted, 1 failed\n"},
        {"--delete gfx.wad/PALETTE",
         false,
         wad,
         {{"brick", brick}},
         0,
         "All done\n1 deleted, 0 failed\n"},
        {"--add base.pak/more a.wal",
         true,
         {{"readme.txt", text}},
         {{"readme.txt", text}, {"more/a.wal", wal}},
         0,
         "All done\n1 added, 0 failed\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const std::string archive = row.pak ? "base.pak" : "gfx.wad";
        test::WriteAll(dir.Path() / archive, ArchiveOf(row.pak, row.before));
        const Outcome outcome = Run(row.arguments);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.errors, row.errors);
        EXPECT_EQ(test::ReadAll(dir.Path() / archive), ArchiveOf(row.pak, row.after));
    }
}

// --extract writes entries, a pak's folders and whole archives as files by the entries' names.
TEST_F(ConvertCli, ExtractWritesEntriesAsFiles) {
    const std::vector<std::uint8_t> one = {1, 2, 3, 4}, two = {5, 6, 7, 8, 9, 10, 11, 12};
    test::WriteAll(
        dir.Path() / "base.pak",
        ArchiveOf(true, {{"textures/a.wal", one}, {"textures/b.wal", two}, {"readme.txt", one}}));
    test::WriteAll(dir.Path() / "gfx.wad", ArchiveOf(false, {{"brick", two, 0x40}}));
    const Outcome outcome = Run("--extract out base.pak/textures gfx.wad base.pak/none");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors, "texelary-convert: base.pak/none: no such entry in the archive\n"
                              "2 extracted, 1 failed\n");
    EXPECT_EQ(test::ReadAll(dir.Path() / "out" / "textures" / "a.wal"), one);
    EXPECT_EQ(test::ReadAll(dir.Path() / "out" / "textures" / "b.wal"), two);
    EXPECT_EQ(test::ReadAll(dir.Path() / "out" / "brick"), two);
    EXPECT_FALSE(Exists("out/readme.txt"));
}

// A map's textures are extracted, never deleted nor renamed: the map stays as it was.
TEST_F(ConvertCli, AMapsTexturesAreExtractedButNotDeleted) {
    std::filesystem::copy_file(test::DataPath("maps/q1_detail_fence2.bsp"), dir.Path() / "m.bsp");
    std::filesystem::permissions(dir.Path() / "m.bsp", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    const std::vector<std::uint8_t> before = test::ReadAll(dir.Path() / "m.bsp");
    const std::string fixed =
        "a map's textures keep their names and places: only their pictures are replaced";
    const Outcome deleted = Run("--delete m.bsp/ORANGESTUFF8");
    EXPECT_EQ(deleted.errors,
              "texelary-convert: m.bsp/ORANGESTUFF8: " + fixed + "\n0 deleted, 1 failed\n");
    EXPECT_EQ(Run("--rename orangestuff8=other m.bsp").status, 1);
    EXPECT_EQ(test::ReadAll(dir.Path() / "m.bsp"), before);
    EXPECT_EQ(Run("--extract out m.bsp/orangestuff8").status, 0);
    EXPECT_EQ(test::ReadAll(dir.Path() / "out" / "orangestuff8").size(), 40U + 64 * 64 * 85 / 64);
}

} // namespace
} // namespace texelary
