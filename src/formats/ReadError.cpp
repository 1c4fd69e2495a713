#include "formats/ReadError.h"

#include "base/FileIo.h"
#include "base/NativePath.h"

#include <filesystem>
#include <system_error>

namespace texelary {

const char* DescribeReadError(ReadError error) {
    switch (error) {
    case ReadError::None:
        return "no error";
    case ReadError::CannotOpen:
        return "the file cannot be opened";
    case ReadError::Truncated:
        return "the file ends before its picture data";
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
    case ReadError::NoSuchFile:
        return "no such file";
    case ReadError::NotAFile:
        return "not a file";
    case ReadError::Empty:
        return "the file is empty";
    case ReadError::NoPixels:
        return "the picture has no pixels";
    case ReadError::UnsupportedDepth:
        return "not a 256-colour picture (8 bits per pixel)";
    case ReadError::NotBuiltIn:
        return "this build of the program was made without support for this format";
    case ReadError::IndexPastPalette:
        return "a pixel uses a colour past the end of the palette";
    case ReadError::BadArchive:
        return "the pak, wad or map that holds it cannot be read";
    case ReadError::NotInWad:
        return "only the mip textures of a wad or map can be read in this format";
    case ReadError::WrongWadKind:
        return "the wad or map holds the other kind of textures (WAD2 or WAD3)";
    case ReadError::NotMipTexture:
        return "the lump is not a mip texture";
    case ReadError::BadSidecar:
        return "the .wal_json file beside it does not hold texture fields";
    case ReadError::NoTrailingPalette:
        return "the 256-colour palette at the end of the file is missing or cut short";
    case ReadError::ArchiveCannotOpen:
        return "the file cannot be opened or read";
    case ReadError::ArchiveTruncated:
        return "the file ends before the data its header or directory announces";
    case ReadError::NotAnArchive:
        return "not an archive of this kind";
    case ReadError::Spak:
        return "a SPAK archive (128-byte directory entries), a variant that is not supported";
    case ReadError::BadDirectoryLength:
        return "the directory's length is not a whole number of entries";
    case ReadError::BadEntryCount:
        return "the number of entries is out of range";
    case ReadError::DirectoryOverlapsHeader:
        return "the directory overlaps the header";
    case ReadError::DirectoryPastEnd:
        return "the directory runs past the end of the file";
    case ReadError::EntryOverlapsHeader:
        return "an entry overlaps the header";
    case ReadError::EntryPastEnd:
        return "an entry runs past the end of the file";
    case ReadError::Compressed:
        return "a compressed lump, which is not supported";
    case ReadError::BadStoredEntry:
        return "an entry's stored bytes do not make the length its directory gives";
    case ReadError::LumpOverlapsHeader:
        return "a lump of the map overlaps its header";
    case ReadError::LumpPastEnd:
        return "a lump of the map runs past the end of the file";
    case ReadError::MapNamesTextures:
        return "the map names its textures rather than holding them (--textures-of takes them "
               "from the game's folder)";
    case ReadError::TextureOutside:
        return "the map holds no pixels for the texture (it lives in a wad outside the map)";
    case ReadError::NameEmpty:
        return "an entry's name is empty";
    case ReadError::NameTooLong:
        return "an entry's name is too long for its field";
    case ReadError::NameAbsolute:
        return "an entry's name is an absolute path";
    case ReadError::NameParent:
        return "an entry's name has a \"..\" part";
    case ReadError::NameEmptyPart:
        return "an entry's name has an empty or \".\" part";
    case ReadError::NameBackslash:
        return "an entry's name holds a backslash";
    case ReadError::NameColon:
        return "an entry's name holds a drive letter or a colon";
    case ReadError::NameControl:
        return "an entry's name holds a control character";
    case ReadError::TextureSize:
        return "the texture's size is out of range";
    case ReadError::TextureNoPixels:
        return "the texture has no pixels";
    case ReadError::LevelOutside:
        return "a mip level lies outside its lump";
    case ReadError::NoPalette:
        return "the lump holds no 256-colour palette after its last level";
    case ReadError::NotAProject:
        return "not a project file";
    case ReadError::ProjectVersion:
        return "a project file of another version";
    case ReadError::ProjectCutShort:
        return "the file is cut short";
    case ReadError::ProjectDamaged:
        return "the file is damaged";
    }
    return "unknown error";
}

namespace {

// The read only says that it failed; the file system says why.
ReadError WhyCannotRead(const std::string& path) {
    std::error_code ignored;
    const auto status = std::filesystem::status(NativePath(path), ignored);
    if (!std::filesystem::exists(status)) {
        return ReadError::NoSuchFile;
    }
    return std::filesystem::is_regular_file(status) ? ReadError::CannotOpen : ReadError::NotAFile;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadInputFile(const std::string& path, ReadError* error) {
    auto bytes = ReadFileBytes(path);
    SetReason(error, bytes ? ReadError::None : WhyCannotRead(path));
    return bytes;
}

} // namespace texelary
