#include "base/NativePath.h"

#include "base/Win32.h"

#include <algorithm>

namespace texelary {

#ifdef _WIN32

namespace {

// Appends `part` as UTF-16 read in `codePage`; false when the bytes are not valid in it (only
// UTF-8 is checked: every byte means something in the ANSI code pages).
bool AppendWide(std::wstring& out, std::string_view part, UINT codePage) {
    if (part.empty()) {
        return true;
    }
    const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int size = static_cast<int>(part.size());
    const int length = MultiByteToWideChar(codePage, flags, part.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length));
    return MultiByteToWideChar(codePage, flags, part.data(), size, out.data() + start, length) ==
           length;
}

} // namespace

std::filesystem::path NativePath(std::string_view utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    std::size_t start = 0;
    while (start <= utf8.size()) {
        const std::size_t end = std::min(utf8.find_first_of("\\/", start), utf8.size());
        const std::string_view part = utf8.substr(start, end - start);
        const std::size_t before = wide.size();
        if (!AppendWide(wide, part, CP_UTF8)) {
            wide.resize(before);
            AppendWide(wide, part, CP_ACP);
        }
        if (end < utf8.size()) {
            wide.push_back(static_cast<wchar_t>(utf8[end]));
        }
        start = end + 1;
    }
    return std::filesystem::path(std::move(wide));
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    }
    return utf8;
}

std::string Utf8Path(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

#else

std::filesystem::path NativePath(std::string_view utf8) {
    return std::filesystem::path(std::string(utf8));
}

std::string Utf8Path(const std::filesystem::path& path) {
    return path.native();
}

#endif

} // namespace texelary
