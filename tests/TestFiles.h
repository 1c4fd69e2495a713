#pragma once

// Helpers shared by the tests: a scratch directory per test, and small file utilities.

#include "base/FileIo.h"
#include "base/NativePath.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace texelary::test {

inline std::filesystem::path DataPath(const std::string& relative) {
    return NativePath(TEXELARY_TEST_DATA) / NativePath(relative);
}

// A UTF-8 literal (u8"壁.bmp") as the library's names are held.
inline std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

// A path written with '/' as this platform writes it (the run joins with '\\' on Windows).
inline std::string Separated(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = static_cast<char>(std::filesystem::path::preferred_separator);
        }
    }
    return path;
}

// A fresh, empty directory for one test, removed when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "texelary-test";
        if (info != nullptr) {
            name += std::string("-") + info->test_suite_name() + "-" + info->name();
        }
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        // Several clones' tests may run at once on one machine: each test program has its own
        // names.
        static const std::string program = std::to_string(std::random_device{}());
        m_path = std::filesystem::temp_directory_path() / (name + "-" + program);
        std::error_code ignored; // what an earlier run could not remove stays
        std::filesystem::remove_all(m_path, ignored);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The UTF-8 name of a file in the directory.
    std::string File(const std::string& name) const { return Utf8Path(m_path / NativePath(name)); }

private:
    std::filesystem::path m_path;
};

inline std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// While it exists, the disk is full from the `nth` write (or flush) of any file on: the writers'
// hook fails that step, and every later one of its kind, as a full disk does.
class DiskFullAt {
public:
    DiskFullAt(WriteStep step, long nth) {
        Failing().store(step);
        Countdown().store(nth);
        SetWriteHook(&Hook);
    }
    ~DiskFullAt() { SetWriteHook(nullptr); }
    DiskFullAt(const DiskFullAt&) = delete;
    DiskFullAt& operator=(const DiskFullAt&) = delete;

private:
    static std::atomic<WriteStep>& Failing() {
        static std::atomic<WriteStep> step{WriteStep::Write};
        return step;
    }
    static std::atomic<long>& Countdown() {
        static std::atomic<long> countdown{0};
        return countdown;
    }
    static int Hook(WriteStep step) {
        return step == Failing().load() && Countdown().fetch_sub(1) <= 1 ? ENOSPC : 0;
    }
};

// Whether `directory` can hold a file whose path is longer than 260 characters. Windows allows
// that only where the system's LongPathsEnabled setting is on (the programs' manifest asks for
// it); tests that need such paths skip elsewhere, saying why.
inline bool LongPathsAllowed(const std::filesystem::path& directory) {
    const auto deep = directory / std::string(100, 'p') / std::string(100, 'p');
    const auto file = deep / (std::string(150, 'q') + ".bin");
    std::error_code error;
    std::filesystem::create_directories(deep, error);
    WriteAll(file, {1});
    bool allowed = !error && std::filesystem::file_size(file, error) == 1 && !error;
    std::filesystem::remove_all(directory / std::string(100, 'p'), error);
    return allowed && !error && !std::filesystem::exists(directory / std::string(100, 'p'));
}

#define TEXELARY_SKIP_WITHOUT_LONG_PATHS(directory)                                                \
    if (!::texelary::test::LongPathsAllowed(directory))                                            \
    GTEST_SKIP() << "needs paths of more than 260 characters, which this system refuses"

} // namespace texelary::test
