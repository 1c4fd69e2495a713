// Saving one field edited in many textures through the editing session, against the floor of
// rewriting the same files: each read whole and written back through WriteFileReplacing, which is
// what any save must at least do. Usage: edit-bench FOLDER [FILES] [RUNS]; FOLDER is made anew
// with FILES .wal files of 256 x 256 (2,000 by default), and the medians of RUNS runs (5) are
// printed with their ratio.

#include "base/FileIo.h"
#include "base/NativePath.h"
#include "colour/WalPalette.h"
#include "edit/EditSession.h"
#include "formats/WriteOptions.h"
#include "formats/mips/WalFormat.h"
#include "image/IndexedImage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace texelary {
namespace {

constexpr std::int32_t kSide = 256;

std::vector<std::string> MakeFiles(const std::string& folder, std::size_t count) {
    std::filesystem::remove_all(NativePath(folder));
    std::filesystem::create_directories(NativePath(folder));
    IndexedImage image;
    AllocatePixels(image, kSide, kSide);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t p = 0; p < std::size_t{kSide} * kSide; ++p) {
            image.pixels[p] = static_cast<std::uint8_t>((p * 7 + i) % 251);
        }
        const auto bytes = WriteWal(image, WalPalette);
        paths.push_back(folder + "/t" + std::to_string(i) + ".wal");
        if (!bytes || !WriteFileReplacing(paths.back(), *bytes)) {
            std::fprintf(stderr, "edit-bench: cannot write %s\n", paths.back().c_str());
            std::exit(1);
        }
    }
    return paths;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every file read whole and written back as it is.
double Rewrite(const std::vector<std::string>& paths) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : paths) {
        const auto bytes = ReadFileBytes(path);
        if (!bytes || !WriteFileReplacing(path, *bytes)) {
            std::fprintf(stderr, "edit-bench: cannot rewrite %s\n", path.c_str());
            std::exit(1);
        }
    }
    return Seconds(start);
}

// The session's time in its three steps, each file opened, its value set, and saved.
struct SessionTimes {
    double open = 0, set = 0, save = 0;
    double Total() const { return open + set + save; }
};

SessionTimes EditAndSave(const std::vector<std::string>& paths, int value) {
    SessionTimes times;
    auto start = std::chrono::steady_clock::now();
    EditSession session;
    std::vector<EditTarget> targets;
    std::string reason;
    for (const std::string& path : paths) {
        const auto document = session.Open(path, reason);
        if (!document) {
            std::fprintf(stderr, "edit-bench: %s: %s\n", path.c_str(), reason.c_str());
            std::exit(1);
        }
        targets.push_back({*document, std::nullopt});
    }
    times.open = Seconds(start);
    start = std::chrono::steady_clock::now();
    const FieldEdit edit[] = {{"value", std::to_string(value)}};
    const bool set = session.SetFields(targets, edit, reason);
    times.set = Seconds(start);
    start = std::chrono::steady_clock::now();
    const auto outcomes = session.Save();
    times.save = Seconds(start);
    const bool saved = std::all_of(outcomes.begin(), outcomes.end(),
                                   [](const SaveOutcome& outcome) { return outcome.saved; });
    if (!set || !saved || outcomes.size() != paths.size()) {
        std::fprintf(stderr, "edit-bench: the session did not save every file: %s\n",
                     reason.c_str());
        std::exit(1);
    }
    return times;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace
} // namespace texelary

int main(int argc, char** argv) {
    using namespace texelary;
    if (argc < 2) {
        std::fprintf(stderr, "usage: edit-bench FOLDER [FILES] [RUNS]\n");
        return 2;
    }
    const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 2000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::vector<std::string> paths = MakeFiles(argv[1], count);
    std::vector<double> rewrite, open, set, save, edit;
    // The first round only warms the caches; the two are taken in turn, so that a busy moment of
    // the machine weighs on both.
    for (int run = 0; run <= runs; ++run) {
        const double floor = Rewrite(paths);
        const SessionTimes session = EditAndSave(paths, run + 1);
        if (run > 0) {
            rewrite.push_back(floor);
            open.push_back(session.open);
            set.push_back(session.set);
            save.push_back(session.save);
            edit.push_back(session.Total());
        }
    }
    const double floor = Median(rewrite), session = Median(edit);
    std::printf("%-26s%7s%11s%8s%8s%8s%10s%8s  (target: ratio <= 1.2)\n", "edit", "files",
                "session s", "open", "set", "save", "floor s", "ratio");
    std::printf("%-26s%7zu%11.3f%8.3f%8.3f%8.3f%10.3f%8.2f\n", "one field of .wal, saved",
                paths.size(), session, Median(open), Median(set), Median(save), floor,
                session / floor);
    std::filesystem::remove_all(NativePath(argv[1]));
    return 0;
}
