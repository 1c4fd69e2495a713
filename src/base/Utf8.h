#pragma once

// UTF-8, the encoding of every text the program holds (file names, project files, messages).

#include <cstddef>
#include <string>
#include <string_view>

namespace texelary {

// The length in bytes (1 to 4) of the UTF-8 character that starts at `at`; 0 when the bytes there
// are not one (a stray continuation byte, an overlong form, a surrogate, a value past U+10FFFF,
// a sequence cut short), as in text written in an ANSI code page.
std::size_t Utf8CharLength(std::string_view text, std::size_t at);

// How many bytes of `text`, at most `room`, hold whole characters: a UTF-8 character that would
// not fit is left out whole; other bytes count one each.
std::size_t Utf8Prefix(std::string_view text, std::size_t room);

// `text` with its ASCII letters in lower case, the way archive, lump and file names are compared
// in any case; other bytes (UTF-8 included) as they are.
std::string AsciiLower(std::string text);

// Whether `text` ends in `end` (lower case ASCII), its ASCII letters in any case: ".pak", ".BSP".
inline bool EndsWithIgnoringCase(const std::string& text, std::string_view end) {
    return text.size() >= end.size() && AsciiLower(text.substr(text.size() - end.size())) == end;
}

// A path or name in a message, in double quotes, as it is: paths are the user's own and are shown
// whole.
inline std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace texelary
