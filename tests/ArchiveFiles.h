#pragma once

// Whole paks and wads written in one call, for the tests that need an archive on disk: the
// program itself writes its archives entry by entry (ArchiveWriter), as a run converts them.

#include "archives/PakArchive.h"
#include "archives/WadArchive.h"
#include "base/FileIo.h"
#include "base/WriteError.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace texelary {

// One file to put in a new archive; the bytes stay the caller's.
struct ArchiveMember {
    std::string_view name;
    std::span<const std::uint8_t> bytes;
};

// One lump to put in a new wad; the bytes stay the caller's.
struct WadMember {
    std::string_view name;
    std::uint8_t type = 0;
    std::span<const std::uint8_t> bytes;
};

// Writes a whole pak holding `members`, in their order, to `out`; the caller commits it. False,
// with the writer's reason, when one is refused or a write fails.
inline bool WritePak(ReplacingFile& out, std::span<const ArchiveMember> members,
                     WriteError* error = nullptr) {
    PakWriter pak(out);
    for (const ArchiveMember& member : members) {
        if (!pak.Add(member.name, member.bytes, 0, error)) {
            return false;
        }
    }
    return pak.Finish(error);
}

// Writes a whole wad of `kind` holding `lumps`, in their order, to `out`, as WritePak does.
inline bool WriteWad(ReplacingFile& out, WadKind kind, std::span<const WadMember> lumps,
                     WriteError* error = nullptr) {
    WadWriter wad(out, kind);
    for (const WadMember& lump : lumps) {
        if (!wad.Add(lump.name, lump.bytes, lump.type, error)) {
            return false;
        }
    }
    return wad.Finish(error);
}

} // namespace texelary
