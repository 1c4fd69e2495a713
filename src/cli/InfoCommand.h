#pragma once

// texelary-convert --info: prints what each named texture file holds.

#include <ostream>
#include <string>
#include <vector>

namespace texelary {

// Prints, for each file, its kind, size, levels, header fields, the number of distinct indices
// its picture uses and whether it follows its format's rules: as indented text, or as one JSON
// object a line. A file that cannot be read gets its reason (in text, on `errors`). Returns 0
// when every file was read, 1 otherwise.
int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out,
            std::ostream& errors);

} // namespace texelary
