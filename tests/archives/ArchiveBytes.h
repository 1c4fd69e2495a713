#pragma once

// Builds pak and wad archives and mip texture lumps byte by byte, so that a test's row can hold
// any lie a hostile file tells, and puts them on disk for the readers.

#include "TestFiles.h"
#include "archives/Archive.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace texelary::test {

struct Bytes {
    std::vector<std::uint8_t> bytes;

    Bytes& Text(std::string_view text, std::size_t field) { // zero-padded to `field` bytes
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.resize(bytes.size() + field - text.size(), 0);
        return *this;
    }
    Bytes& I32(std::int32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
        }
        return *this;
    }
    Bytes& Append(const std::vector<std::uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
};

// `bytes` with the 32-bit field at `offset` replaced by `value`.
inline std::vector<std::uint8_t> With32(std::vector<std::uint8_t> bytes, std::size_t offset,
                                        std::int32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes.at(offset + i) =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
    return bytes;
}

// A directory entry of either archive: for a wad, `length` is both sizes.
struct RawEntry {
    std::string name;
    std::int32_t offset, length;
    std::uint8_t type = 0x44, compression = 0; // wads only
};

// An archive of `signature`: the header, 8 bytes ("helloabc") at 12, then a directory of
// `entries` at 20. A pak's header gives the directory's place, a wad's the count first.
inline std::vector<std::uint8_t> ArchiveBytes(std::string_view signature,
                                              const std::vector<RawEntry>& entries) {
    const bool pak = signature == "PACK" || signature == "SPAK";
    const auto count = static_cast<std::int32_t>(entries.size());
    Bytes b;
    b.Text(signature, 4).I32(pak ? 20 : count).I32(pak ? 64 * count : 20).Text("helloabc", 8);
    for (const RawEntry& e : entries) {
        if (pak) {
            b.Text(e.name, 56).I32(e.offset).I32(e.length);
        } else {
            b.I32(e.offset).I32(e.length).I32(e.length).Append({e.type, e.compression, 0, 0});
            b.Text(e.name, 16);
        }
    }
    return b.bytes;
}

// The bytes as a file of the scratch directory, opened as an archive.
inline ArchiveFile OpenBytes(const ScratchDir& dir, const std::vector<std::uint8_t>& bytes) {
    WriteAll(dir.Path() / "archive", bytes);
    return ArchiveFile(dir.File("archive"));
}

} // namespace texelary::test
