#include "cli/Utf8Arguments.h"

#ifdef _WIN32
#include "base/NativePath.h"
#include "base/Win32.h"
// shellapi.h needs windows.h before it.
#include <shellapi.h>
#endif

namespace texelary {

#ifdef _WIN32

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
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
