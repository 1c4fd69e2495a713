#include "base/WriteError.h"

#include <cerrno>

namespace texelary {

const char* DescribeWriteError(WriteError error) {
    switch (error) {
    case WriteError::None:
        return "no error";
    case WriteError::NoSuchDirectory:
        return "no such directory";
    case WriteError::NotAFile:
        return "something other than a file has that name";
    case WriteError::ReadOnly:
        return "the file is read-only";
    case WriteError::PermissionDenied:
        return "permission denied";
    case WriteError::DiskFull:
        return "the disk is full";
    case WriteError::ReadOnlyFileSystem:
        return "the disk is read-only";
    case WriteError::NameTooLong:
        return "the name is too long for the file system";
    case WriteError::TooManyLinks:
        return "too many symbolic links";
    case WriteError::Io:
        return "the disk reported an input/output error";
    case WriteError::OutOfMemory:
        return "out of memory";
    case WriteError::TooLarge:
        return "too large for the format";
    case WriteError::FileSystem:
        return "the file system refused it";
    case WriteError::CannotWrite:
        return "the archive cannot be written";
    case WriteError::ArchiveTooLarge:
        return "the archive would be larger than the format can hold";
    case WriteError::TooManyEntries:
        return "the number of entries is out of range";
    case WriteError::BadEntryName:
        return "the name is not one an archive's entry may have";
    case WriteError::TextureSize:
        return "the texture's size is out of range";
    case WriteError::TextureNoPixels:
        return "the texture has no pixels";
    case WriteError::NotMultipleOf16:
        return "the texture's width and height must be multiples of 16";
    }
    return "unknown error";
}

WriteError WriteErrorFromErrno(int code) {
    switch (code) {
    case 0:
        return WriteError::FileSystem; // a failure that set no errno
    case ENOENT:
    case ENOTDIR:
        return WriteError::NoSuchDirectory;
    case EISDIR:
        return WriteError::NotAFile;
    case EACCES:
    case EPERM:
        return WriteError::PermissionDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return WriteError::DiskFull;
    case EROFS:
        return WriteError::ReadOnlyFileSystem;
    case ENAMETOOLONG:
        return WriteError::NameTooLong;
    case ELOOP:
        return WriteError::TooManyLinks;
    case EIO:
        return WriteError::Io;
    case ENOMEM:
        return WriteError::OutOfMemory;
    default:
        return WriteError::FileSystem;
    }
}

} // namespace texelary
