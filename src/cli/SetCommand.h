#pragma once

// texelary-convert --set: header fields of textures set in place, in files or in the paks and
// wads that hold them.

#include <ostream>
#include <string>
#include <vector>

namespace texelary {

// Applies the edits of `edits` (KEY=VALUE,...; see FieldEdits.h) to each file, a file in a pak or
// a wad being rewritten with its archive. A wad texture takes only a new name, which goes into its
// directory entry and its own name field. Each file that fails gets a line with its reason on
// `errors`, then the counts. Returns 0 when every file was set, 1 otherwise.
int RunSet(const std::string& edits, const std::vector<std::string>& files, std::ostream& errors);

} // namespace texelary
