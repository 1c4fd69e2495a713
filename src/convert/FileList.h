#pragma once

// A list of input files read entry by entry where it is kept: the main window's image list, which
// is the project's list while the program runs. A run is given a copy of the names instead
// (RunSettings::RunFiles).

#include <cstddef>
#include <string>

namespace texelary {

// Entries are names relative to the input directory.
class FileList {
public:
    virtual ~FileList() = default;
    virtual std::size_t Count() const = 0;
    virtual std::string Entry(std::size_t index) const = 0;
};

} // namespace texelary
