#include "cli/Utf8Arguments.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>
#endif

namespace texelary {

#ifdef _WIN32

namespace {

std::string ToUtf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back(); // the terminating zero
    return utf8;
}

} // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(ToUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

Utf8Console::Utf8Console()
    : m_previousCodePage(GetConsoleOutputCP()) {
    // Without a console (output to a file or a pipe) there is nothing to set.
    if (m_previousCodePage != 0 && m_previousCodePage != CP_UTF8) {
        SetConsoleOutputCP(CP_UTF8);
    }
}

Utf8Console::~Utf8Console() {
    if (m_previousCodePage != 0 && m_previousCodePage != CP_UTF8) {
        SetConsoleOutputCP(m_previousCodePage);
    }
}

#else

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

#endif

} // namespace texelary
