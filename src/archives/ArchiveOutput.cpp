#include "archives/ArchiveOutput.h"

#include "archives/ArchiveInput.h"
#include "archives/PakArchive.h"
#include "archives/WadArchive.h"
#include "base/NativePath.h"
#include "base/Utf8.h"
#include "formats/HeaderFields.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace texelary {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLongestLumpName = 15;

std::unique_ptr<ArchiveWriter> WriterFor(const ArchiveTarget& target, ReplacingFile& file) {
    if (target.map) {
        return nullptr;
    }
    if (target.wad) {
        return std::make_unique<WadWriter>(file, *target.wad);
    }
    return std::make_unique<PakWriter>(file, target.longPakEntries);
}

} // namespace

std::optional<ArchiveTarget> ArchiveTargetOf(const std::string& outputDir, TargetFormat to) {
    if (const auto wad = RowOf(to).wad) {
        return ArchiveTarget{outputDir, wad, false, EndsWithIgnoringCase(outputDir, ".bsp"), {}};
    }
    // The first part of the path that names a pak rather than a folder.
    for (std::size_t end = outputDir.find_first_of("/\\");;
         end = outputDir.find_first_of("/\\", end + 1)) {
        const std::string pak = outputDir.substr(0, end);
        std::error_code error;
        if (EndsWithIgnoringCase(pak, ".pak") && !fs::is_directory(NativePath(pak), error)) {
            ArchiveTarget target{pak, std::nullopt, false, false, {}};
            if (end != std::string::npos) {
                bool cut = false;
                target.folder = ArchiveEntryName(target, outputDir.substr(end + 1), cut);
            }
            return target;
        }
        if (end == std::string::npos) {
            return std::nullopt;
        }
    }
}

std::string ArchiveEntryName(const ArchiveTarget& target, const std::string& outputName,
                             bool& cut) {
    std::string name = outputName;
    std::replace(name.begin(), name.end(), '\\', '/');
    cut = false;
    if (!target.wad) {
        // Parts "." and empty ones say nothing in a pak's names ("./a//b.wal" is "a/b.wal").
        std::string joined;
        for (std::size_t start = 0; start <= name.size();) {
            const std::size_t end = std::min(name.find('/', start), name.size());
            const std::string part = name.substr(start, end - start);
            if (!part.empty() && part != ".") {
                joined += (joined.empty() ? "" : "/") + part;
            }
            start = end + 1;
        }
        return target.folder.empty() || joined.empty() ? joined : target.folder + "/" + joined;
    }
    name = name.substr(name.find_last_of('/') + 1);
    name = LumpNameOfFile(name.substr(0, name.find('.')));
    const std::string_view kept = CutAtCharacter(name, kLongestLumpName);
    cut = kept.size() < name.size();
    return std::string(kept);
}

ArchiveOutput::ArchiveOutput(const ArchiveTarget& target)
    : m_target(target)
    , m_file(target.path)
    , m_writer(WriterFor(target, m_file))
    , m_map(target.map ? std::make_unique<MapWriter>(target.path, m_file) : nullptr) {}

std::string ArchiveOutput::Problem() const {
    std::error_code error;
    if (fs::is_directory(NativePath(m_target.path), error)) {
        return "a folder has that name";
    }
    if (m_map) {
        if (std::string problem = m_map->Problem(*m_target.wad); !problem.empty()) {
            return problem;
        }
    }
    if (!m_file.Ok()) {
        return DescribeWriteError(m_file.Error());
    }
    return {};
}

std::string ArchiveOutput::Refusal(const std::string& input, const std::string& name) const {
    const auto inArchive = SplitArchivePath(input);
    std::error_code error;
    if (fs::equivalent(NativePath(inArchive ? inArchive->archive : input),
                       NativePath(m_target.path), error) &&
        !error) {
        return "the output is the input file itself";
    }
    if (m_map) {
        if (std::string refused = m_map->Refusal(name); !refused.empty()) {
            return refused;
        }
    } else if (const ReadError refused = m_writer->CheckName(name); refused != ReadError::None) {
        return DescribeReadError(refused);
    }
    if (m_names.count(AsciiLower(name)) != 0) {
        return m_map          ? "an earlier texture of this run has the same name in the map"
               : m_target.wad ? "an earlier texture of this run has the same name in the wad"
                              : "an earlier file of this run has the same name in the pak";
    }
    return {};
}

bool ArchiveOutput::Add(const std::string& name, std::span<const std::uint8_t> bytes,
                        std::string& why) {
    if (m_map) {
        if (!m_map->Replace(name, bytes, why)) {
            return false;
        }
        m_names.insert(AsciiLower(name));
        return true;
    }
    WriteError error = WriteError::None;
    const std::uint8_t type = m_target.wad ? MipTextureType(*m_target.wad) : 0;
    if (!m_writer->Add(name, bytes, type, &error)) {
        why = WhyNot(error, name);
        return false;
    }
    m_names.insert(AsciiLower(name));
    return true;
}

bool ArchiveOutput::Commit(std::string& why) {
    WriteError error = WriteError::None;
    if (m_writer && !m_writer->Finish(&error)) {
        why = WhyNot(error, {});
        return false;
    }
    if (!m_file.Commit()) {
        why = DescribeWriteError(m_file.Error());
        return false;
    }
    return true;
}

std::string ArchiveOutput::WhyNot(WriteError error, const std::string& name) const {
    // A refused name is said by the rule it breaks, as Refusal says it.
    return error == WriteError::BadEntryName && m_writer
               ? DescribeReadError(m_writer->CheckName(name))
               : DescribeWriteError(error);
}

} // namespace texelary
