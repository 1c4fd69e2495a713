#pragma once

// The paths of a run's files: an entry's input under the input directory, its output under the
// output directory with the target format's extension.

#include <string>

namespace texelary {

// The name with everything after its first dot replaced by `extension`; a name without a dot gets
// a dot and the extension appended ("stone.old.bmp" -> "stone.m8", "wall" -> "wall.m8"). Only the
// part after the last folder separator counts: "old.walls/stone.bmp" -> "old.walls/stone.m8".
std::string ReplaceExtension(const std::string& name, const std::string& extension);

// The directory and the name joined with this platform's separator; a directory that is empty or
// does not end with a separator gets one.
std::string JoinPath(const std::string& directory, const std::string& name);

} // namespace texelary
