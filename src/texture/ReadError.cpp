#include "texture/ReadError.h"

namespace texelary {

const char* DescribeReadError(ReadError error) {
    switch (error) {
    case ReadError::None:
        return "no error";
    case ReadError::CannotOpen:
        return "cannot open the file";
    case ReadError::Truncated:
        return "the file is shorter than its header says";
    case ReadError::BadSignature:
        return "not a file of this kind";
    case ReadError::BadHeader:
        return "the header holds values out of range";
    case ReadError::Unsupported:
        return "a variant of the format that is not supported";
    case ReadError::OutOfMemory:
        return "out of memory";
    case ReadError::CorruptData:
        return "the picture data is damaged";
    }
    return "unknown error";
}

} // namespace texelary
