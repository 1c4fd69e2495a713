#include "project/ProjectFile.h"

#include "base/ByteOrder.h"
#include "base/FileIo.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "formats/ReadError.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <iterator>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

// A project file (*.mm) for n file names is 308 + 128 x n bytes, numbers little-endian:
//
// | Offset | Size     | Field              | Content                                        |
// |--------|----------|--------------------|------------------------------------------------|
// | 0      | 32       | signature          | "Texelary", then 24 zero bytes                 |
// | 32     | 8        | version            | "1.00", then 4 zero bytes                      |
// | 40     | 4        | count              | n, int32: the number of file names             |
// | 44     | 128      | input directory    | text ended by a zero byte                      |
// | 172    | 128      | output directory   | text ended by a zero byte                      |
// | 300    | 4        | convert-to index   | int32: 0 .m8, 1 .wal, 2 PNG                    |
// | 304    | 4        | convert-from index | int32: 0 bitmap, 1 .m8, 2 .wal, 3 PNG, 4 TGA,  |
// |        |          |                    | 5 PCX                                          |
// | 308    | 128 each | file names         | n texts in list order, each ended by a zero    |
//
// The indices are those of the format table (formats/Formats.h). The convert-to index comes
// before the convert-from index. In a text field the bytes after the first zero carry no meaning:
// we write zeros there, and the reader ignores whatever it finds. Likewise the signature and
// version blocks are compared only up to their text's zero byte. Names are UTF-8; one that is not
// is taken in the system's 8-bit code page (the ANSI code page on Windows).

namespace texelary {

namespace ProjectLayout {

constexpr std::size_t SignatureOffset = 0;
constexpr std::size_t SignatureSize = 32;
constexpr std::size_t VersionOffset = 32;
constexpr std::size_t VersionSize = 8;
constexpr std::size_t CountOffset = 40;
constexpr std::size_t FieldSize = 128; // every text field: at most 127 characters and a zero
constexpr std::size_t InputDirOffset = 44;
constexpr std::size_t OutputDirOffset = 172;
constexpr std::size_t ConvToOffset = 300;
constexpr std::size_t ConvFromOffset = 304;
constexpr std::size_t NamesOffset = 308;
constexpr std::size_t HeaderSize = NamesOffset;

static_assert(VersionOffset == SignatureOffset + SignatureSize);
static_assert(CountOffset == VersionOffset + VersionSize);
static_assert(InputDirOffset == CountOffset + 4);
static_assert(OutputDirOffset == InputDirOffset + FieldSize);
static_assert(ConvToOffset == OutputDirOffset + FieldSize);
static_assert(ConvFromOffset == ConvToOffset + 4);
static_assert(NamesOffset == ConvFromOffset + 4);
static_assert(HeaderSize == 308);

constexpr std::string_view Signature = "Texelary";
constexpr std::string_view Version = "1.00";
static_assert(Signature.size() < SignatureSize && Version.size() < VersionSize);

} // namespace ProjectLayout

namespace {

using Field = std::span<std::uint8_t, ProjectLayout::FieldSize>;

// Puts `text` into a 128-byte field the way every fixed name field is filled: at most 127
// characters, the text ending at its first zero character, and zeros in all the bytes after it.
// True when the field holds the whole text; false when it had to be cut.
bool CopyBounded(Field field, std::string_view text) {
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    // Texts are UTF-8: a character that does not fit whole is left out whole.
    const std::size_t limit = Utf8Prefix(text, field.size() - 1);
    std::size_t copied = 0;
    while (copied < limit && text[copied] != '\0') {
        field[copied] = static_cast<std::uint8_t>(text[copied]);
        ++copied;
    }
    return copied == text.size();
}

Field FieldAt(std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return Field(bytes.data() + offset, ProjectLayout::FieldSize);
}

// The text of a field up to its first zero byte; none when the field holds no zero at all, which
// no writer of this format produces.
std::optional<std::string> ReadField(std::span<const std::uint8_t> file, std::size_t offset) {
    if (!FitsIn(file.size(), offset, ProjectLayout::FieldSize)) {
        return std::nullopt;
    }
    const auto field = file.subspan(offset, ProjectLayout::FieldSize);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (end == field.end()) {
        return std::nullopt;
    }
    return std::string(field.begin(), end);
}

// True when `block` begins with the letters of `text` directly followed by a zero byte; the
// bytes after that zero are not looked at.
bool BlockHoldsText(std::span<const std::uint8_t> block, std::string_view text) {
    if (block.size() <= text.size() || block[text.size()] != 0) {
        return false;
    }
    return std::equal(text.begin(), text.end(), block.begin(), [](char letter, std::uint8_t byte) {
        return static_cast<std::uint8_t>(letter) == byte;
    });
}

// Moving texts into room reserved beforehand cannot fail, so a caller can reserve, then do the
// work that may fail, then hand the texts out.
void MoveAllInto(std::vector<std::string>& to, std::vector<std::string>& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

// An empty result means the project cannot be stored (too many names, an index no list offers);
// a valid file is never empty. May throw std::bad_alloc; the public functions catch it.
std::vector<std::uint8_t> Encode(const Project& project, std::vector<std::string>& cut) {
    namespace L = ProjectLayout;
    if (!SourceFormatAt(IndexOf(project.convFrom)) || !TargetFormatAt(IndexOf(project.convTo))) {
        return {};
    }
    if (project.files.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return {};
    }
    const auto namesSize = CheckedMul(project.files.size(), L::FieldSize);
    if (!namesSize || *namesSize > std::numeric_limits<std::size_t>::max() - L::HeaderSize) {
        return {};
    }

    std::vector<std::uint8_t> bytes(L::HeaderSize + *namesSize, 0);
    std::copy(L::Signature.begin(), L::Signature.end(), bytes.begin() + L::SignatureOffset);
    std::copy(L::Version.begin(), L::Version.end(), bytes.begin() + L::VersionOffset);
    StoreLE32(bytes.data() + L::CountOffset, static_cast<std::int32_t>(project.files.size()));

    const auto put = [&](std::size_t offset, const std::string& text) {
        if (!CopyBounded(FieldAt(bytes, offset), text)) {
            cut.push_back(text);
        }
    };
    put(L::InputDirOffset, project.inputDir);
    put(L::OutputDirOffset, project.outputDir);
    StoreLE32(bytes.data() + L::ConvToOffset, IndexOf(project.convTo));
    StoreLE32(bytes.data() + L::ConvFromOffset, IndexOf(project.convFrom));
    std::size_t offset = L::NamesOffset;
    for (const std::string& name : project.files) {
        put(offset, name);
        offset += L::FieldSize;
    }
    return bytes;
}

std::optional<Project> Refuse(ReadError* error, ReadError reason) {
    SetReason(error, reason);
    return std::nullopt;
}

// Order of work: signature, version and header size, numbers, the size the count implies, then
// the texts. Nothing is allocated for the names before the file is known to hold them all.
std::optional<Project> Parse(std::span<const std::uint8_t> file, ReadError* error) {
    namespace L = ProjectLayout;
    if (file.empty()) {
        return Refuse(error, ReadError::Empty);
    }
    // Blocks are compared on what the file has of them, so that a short file of another kind is
    // told from a project file cut short.
    const auto block = [file](std::size_t offset, std::size_t size) {
        return offset >= file.size() ? file.last(0)
                                     : file.subspan(offset, std::min(size, file.size() - offset));
    };
    if (!BlockHoldsText(block(L::SignatureOffset, L::SignatureSize), L::Signature)) {
        return Refuse(error, ReadError::NotAProject);
    }
    const bool versionThere = file.size() > L::VersionOffset + L::Version.size();
    if (versionThere && !BlockHoldsText(block(L::VersionOffset, L::VersionSize), L::Version)) {
        return Refuse(error, ReadError::ProjectVersion);
    }
    if (file.size() < L::HeaderSize) {
        return Refuse(error, ReadError::ProjectCutShort);
    }

    ByteCursor cursor(file, L::CountOffset);
    const std::int32_t count = cursor.I32();
    cursor.Skip(2 * L::FieldSize);
    // Only the indices the drop-down lists offer; anything else in a file is damage.
    const auto convTo = TargetFormatAt(cursor.I32());
    const auto convFrom = SourceFormatAt(cursor.I32());
    if (!cursor.Ok() || count < 0 || !convTo || !convFrom) {
        return Refuse(error, ReadError::ProjectDamaged);
    }
    const auto names = static_cast<std::size_t>(count);
    const auto namesSize = CheckedMul(names, L::FieldSize);
    // Bytes after the last name are ignored: they hurt nothing.
    if (!namesSize || !FitsIn(file.size(), L::NamesOffset, *namesSize)) {
        return Refuse(error, ReadError::ProjectCutShort);
    }

    Project project;
    auto inputDir = ReadField(file, L::InputDirOffset);
    auto outputDir = ReadField(file, L::OutputDirOffset);
    if (!inputDir || !outputDir) {
        return Refuse(error, ReadError::ProjectDamaged);
    }
    project.inputDir = std::move(*inputDir);
    project.outputDir = std::move(*outputDir);
    project.convFrom = *convFrom;
    project.convTo = *convTo;
    project.files.reserve(names);
    for (std::size_t i = 0; i < names; ++i) {
        auto name = ReadField(file, L::NamesOffset + i * L::FieldSize);
        if (!name) {
            return Refuse(error, ReadError::ProjectDamaged);
        }
        project.files.push_back(std::move(*name));
    }
    SetReason(error, ReadError::None);
    return project;
}

} // namespace

// Empty when the project cannot be stored (see Encode) or memory runs out; `cutTexts` then gains
// nothing.
std::vector<std::uint8_t> EncodeProject(const Project& project,
                                        std::vector<std::string>* cutTexts) {
    try {
        std::vector<std::string> cut;
        auto bytes = Encode(project, cut);
        if (!bytes.empty() && cutTexts != nullptr) {
            cutTexts->reserve(cutTexts->size() + cut.size());
            MoveAllInto(*cutTexts, cut);
        }
        return bytes;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::optional<Project> ParseProject(std::span<const std::uint8_t> file, ReadError* error) {
    try {
        return Parse(file, error);
    } catch (const std::bad_alloc&) {
        return Refuse(error, ReadError::OutOfMemory);
    }
}

// The cut texts are handed out only when the file has been written: they describe what was saved.
bool SaveProject(const Project& project, const std::string& path,
                 std::vector<std::string>* cutTexts) {
    try {
        std::vector<std::string> cut;
        const std::vector<std::uint8_t> bytes = EncodeProject(project, &cut);
        if (bytes.empty()) {
            return false;
        }
        if (cutTexts != nullptr) { // room first, so that nothing fails after the write
            cutTexts->reserve(cutTexts->size() + cut.size());
        }
        if (!WriteFileReplacing(path, bytes)) {
            return false;
        }
        if (cutTexts != nullptr) {
            MoveAllInto(*cutTexts, cut);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool LoadProject(Project& project, const std::string& path, ReadError* error) {
    const auto bytes = ReadInputFile(path, error);
    auto loaded = bytes ? ParseProject(*bytes, error) : std::nullopt;
    if (!loaded) {
        return false;
    }
    project = std::move(*loaded); // moving strings and vectors cannot fail half way
    return true;
}

std::string ProjectDirectory(const std::string& directory, const std::string& projectPath) {
    const std::filesystem::path folder = NativePath(projectPath).parent_path();
    const std::filesystem::path typed = NativePath(directory);
    if (projectPath.empty() || folder.empty() || typed.is_absolute() || typed.has_root_name()) {
        return directory;
    }
    return Utf8Path((folder / typed).lexically_normal());
}

} // namespace texelary
