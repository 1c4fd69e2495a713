#pragma once

// Helpers shared by the tests: a scratch directory per test, and small file utilities.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace texelary::test {

inline std::filesystem::path DataPath(const std::string& relative) {
    return std::filesystem::path(TEXELARY_TEST_DATA) / relative;
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
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

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

} // namespace texelary::test
