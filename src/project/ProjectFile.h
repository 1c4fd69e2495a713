#pragma once

// Project files (*.mm): the two directories, the two format indices and the list of file names
// of a project, in fixed 128-byte text fields.

#include "formats/Formats.h"
#include "formats/ReadError.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// Everything a project is. The windows copy between their controls and this value.
struct Project {
    std::string inputDir;
    std::string outputDir;
    SourceFormat convFrom = SourceFormat::Bmp; // stored as its index
    TargetFormat convTo = TargetFormat::M8;
    std::vector<std::string> files;

    bool operator==(const Project&) const = default;
};

// Writes `project` to `path`, replacing an existing file only when the whole file has been
// written. False when the file cannot be created or any write or the close fails, and for format
// indices out of range (a file that loading would refuse); the old file is then left as it was.
// Texts longer than a field holds (127 characters) are stored cut; each such text, whole, is
// appended to `cutTexts` when it is given, so the caller can warn that the saved project no longer
// names it exactly.
bool SaveProject(const Project& project, const std::string& path,
                 std::vector<std::string>* cutTexts = nullptr);

// Reads `path` into `project`. The whole file is checked first: a file that cannot be read, a
// wrong signature or version, a file shorter than its count says, a negative count, a text field
// without a terminating zero, or a format index out of range gives false and leaves `project`
// exactly as it was; `error` (when given) then receives the reason, for DescribeReadError: the
// file's own (NotAProject, ProjectVersion, ProjectCutShort, ProjectDamaged, Empty) or why it
// cannot be read.
bool LoadProject(Project& project, const std::string& path, ReadError* error = nullptr);

// A project's directory as a run takes it: a relative one is taken from the folder of the project
// file at `projectPath` (none: as it stands), so that a project works wherever the program is
// started; an absolute one as it stands. The project itself keeps what the user typed.
std::string ProjectDirectory(const std::string& directory, const std::string& projectPath);

// The same on bytes. EncodeProject gives an empty vector where SaveProject would refuse.
std::vector<std::uint8_t> EncodeProject(const Project& project,
                                        std::vector<std::string>* cutTexts = nullptr);
std::optional<Project> ParseProject(std::span<const std::uint8_t> file, ReadError* error = nullptr);

} // namespace texelary
