#pragma once

// Why something read was refused: a picture by its reader, an archive, its directory or one of
// its entries, a mip texture lump, a project file. The readers keep their simple shapes (a picture
// or none, true or false); this reason is handed out beside them, for the messages and the tests.

#include "base/Reason.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

enum class ReadError : std::uint8_t {
    None = 0,
    CannotOpen,   // exists, but cannot be opened or read (permissions, a read error)
    Truncated,    // the file ends before the data its header announces
    BadSignature, // not a file of this kind at all
    BadHeader,    // a header field out of range (sizes, planes, header length, ...)
    Unsupported,  // a valid file of a variant this program does not read
    OutOfMemory,
    CorruptData, // the picture data contradicts its header: a run past the end, a bad checksum
    NoSuchFile,
    NotAFile,          // a directory, a device, a pipe
    Empty,             // a file of 0 bytes
    NoPixels,          // the header gives a width or height of 0
    UnsupportedDepth,  // a picture of another depth than 8 bits per pixel (256 colours)
    NotBuiltIn,        // this build was made without the library the format needs
    IndexPastPalette,  // a pixel of a palette picture names a colour its palette does not have
    BadArchive,        // the pak or wad that holds the file cannot be read
    NotInWad,          // a texture of a wad format named by a path that leads into no wad
    WrongWadKind,      // a WAD2 read as a WAD3 or the other way round
    NotMipTexture,     // a lump of a wad that is not a mip texture
    BadSidecar,        // the texture fields file beside a picture cannot be read as one
    NoTrailingPalette, // a 256-colour PCX without the palette at its end, or with it cut short

    // Archives (paks and wads), said of the archive file rather than of a picture.
    ArchiveCannotOpen, // exists, but cannot be opened or read
    ArchiveTruncated,  // the file ends before its header, or before bytes its directory announced
    NotAnArchive,      // not an archive of this kind at all
    Spak,              // "SPAK", the pak variant with 128-byte entries
    BadDirectoryLength,
    BadEntryCount, // negative, or more entries than the file or this program can hold
    DirectoryOverlapsHeader,
    DirectoryPastEnd,
    EntryOverlapsHeader,
    EntryPastEnd,
    Compressed,         // a wad lump stored compressed, or a pak entry coded in an unknown way
    BadStoredEntry,     // a pak entry whose stored bytes do not make the length it is listed with
    LumpOverlapsHeader, // a compiled map's lump that starts inside its header
    LumpPastEnd,        // a compiled map's lump that runs past the end of the file
    MapNamesTextures,   // a version-38 map, which names its textures rather than holding them
    TextureOutside,     // a map's texture whose pixels are not in the map

    // An entry's name, read or to be written (CheckEntryName).
    NameEmpty,
    NameTooLong, // fills its field with no room for the terminating zero
    NameAbsolute,
    NameParent,    // a part ".."
    NameEmptyPart, // a part "." or an empty one ("a//b", "a/")
    NameBackslash,
    NameColon, // a drive letter ("C:") or any other colon
    NameControl,

    // A mip texture lump of a wad.
    TextureSize,
    TextureNoPixels,
    LevelOutside,
    NoPalette,

    // A project file (*.mm).
    NotAProject,
    ProjectVersion, // a project file of another version
    ProjectCutShort,
    ProjectDamaged,
};

// The reason in a few words, lower case and without a full stop, so that it reads both after a
// colon ("...: the file is empty") and, its first letter raised, as a sentence of its own.
const char* DescribeReadError(ReadError error);

// The whole file, or none with the reason in `error`: no such file, not a file, cannot be read
// or no memory. An empty file is 0 bytes, not a failure: each format decides what that means.
std::optional<std::vector<std::uint8_t>> ReadInputFile(const std::string& path, ReadError* error);

} // namespace texelary
