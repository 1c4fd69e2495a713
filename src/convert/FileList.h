#pragma once

// The list of input files a conversion run works through.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace texelary {

// The file names of a run, read entry by entry while the run goes on (the windows hand over their
// own list, not a copy). Entries are names relative to the input directory.
class FileList {
public:
    virtual ~FileList() = default;
    virtual std::size_t Count() const = 0;
    virtual std::string Entry(std::size_t index) const = 0;
};

class VectorFileList final : public FileList {
public:
    explicit VectorFileList(std::vector<std::string> names)
        : m_names(std::move(names)) {}
    std::size_t Count() const override { return m_names.size(); }
    std::string Entry(std::size_t index) const override { return m_names[index]; }

private:
    std::vector<std::string> m_names;
};

} // namespace texelary
