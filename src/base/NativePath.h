#pragma once

// File names inside the program are UTF-8 on every platform: in the project files, the windows'
// fields, the command line and the messages. This is the one place where they meet the operating
// system's own form. On Windows that is UTF-16, and a narrow string handed to the C library or to
// std::filesystem::path would be read in the ANSI code page instead, so that a name such as
// "壁.bmp" could not be found; every std::filesystem::path made from a name is made here.

#include <filesystem>
#include <string>
#include <string_view>

namespace texelary {

// The path that names the file `utf8` names. On Windows each part between separators that is
// valid UTF-8 becomes UTF-16; a part that is not (a name from a project file written by an older
// program, in the ANSI code page) is read in the ANSI code page. Elsewhere the bytes are the name.
std::filesystem::path NativePath(std::string_view utf8);

// The UTF-8 name of `path`: the reverse of NativePath for names that are valid UTF-8.
std::string Utf8Path(const std::filesystem::path& path);

#ifdef _WIN32
// UTF-16 text, as Windows gives names, as UTF-8; empty when it cannot be converted.
std::string Utf8FromWide(std::wstring_view wide);
#endif

} // namespace texelary
