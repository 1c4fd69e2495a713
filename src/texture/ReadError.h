#pragma once

// Why a reader gave no picture. The readers keep their simple shapes (a picture or none, true or
// false); this reason is handed out beside them for the tests and the command-line program.

#include <cstdint>

namespace texelary {

enum class ReadError : std::uint8_t {
    None = 0,
    CannotOpen,   // missing, unreadable, or not a regular file
    Truncated,    // the file ends before the data its header announces
    BadSignature, // not a file of this kind at all
    BadHeader,    // a header field out of range (sizes, planes, header length, ...)
    Unsupported,  // a valid file of a variant this program does not read
    OutOfMemory,
    CorruptData, // the picture data contradicts its header: a run past the end, a bad checksum
};

const char* DescribeReadError(ReadError error);

// Stores `value` where the caller asked for a reason, if it did.
inline void SetReadError(ReadError* error, ReadError value) {
    if (error != nullptr) {
        *error = value;
    }
}

} // namespace texelary
