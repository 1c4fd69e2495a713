#pragma once

// Why a file, or an entry of an archive, was not written. Writers keep their simple shapes (true
// or false, bytes or none); this reason travels beside them to the messages, so that "Error
// writing" says what the file system or the format said, not a guess made afterwards.

#include "base/Reason.h"

#include <cstdint>

namespace texelary {

enum class WriteError : std::uint8_t {
    None = 0,
    NoSuchDirectory,    // the folder it goes in does not exist
    NotAFile,           // a directory, a device or a pipe has the name
    ReadOnly,           // an existing file this process may not write to: it stays as it is
    PermissionDenied,   // the folder refuses new files, or the system refuses the write
    DiskFull,           // no space, or the user's quota is used up
    ReadOnlyFileSystem, // the disk is mounted read-only
    NameTooLong,        // the name or the path is longer than the file system takes
    TooManyLinks,       // a chain of symbolic links that does not end
    Io,                 // the disk reported an input/output error
    OutOfMemory,
    TooLarge,   // the picture or the archive does not fit the format's sizes and offsets
    FileSystem, // any other refusal of the file system

    // Archives (paks and wads) and the mip texture lumps of a wad.
    CannotWrite,     // a write failed and the file said no more
    ArchiveTooLarge, // past the format's signed 32-bit offsets
    TooManyEntries,  // more than an archive's directory may list
    BadEntryName,    // a name CheckEntryName refuses, or too long for the format's field
    TextureSize,     // a side negative, or a lump past the format's sizes
    TextureNoPixels,
    NotMultipleOf16,
};

// The reason in a few words, lower case and without a full stop, so that it reads after a colon
// ("Error writing "out/a.wal": the disk is full").
const char* DescribeWriteError(WriteError error);

// The reason for an errno value of a failed open, write, flush, close or rename.
WriteError WriteErrorFromErrno(int code);

} // namespace texelary
