// Compiled map reader: hostile bytes written to a file, as the reader only takes maps from one
// (lump by lump, never whole). Every texture accepted must lie inside its lump with a name that
// passes and a size in range, and every one with pixels is read through the decoder of its
// version's kind, which must agree on its size; a version-38 map's texture infos must fill their
// lump exactly, each name shorter than its field.

#include "archives/MapArchive.h"
#include "base/ByteOrder.h"
#include "formats/mips/MipTexture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace texelary;

// One file per process, so that harnesses run side by side do not share it; removed at exit.
struct InputFile {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("texelary-fuzz-map-" + std::to_string(::getpid()) + ".bsp"))
                           .string();
    ~InputFile() { std::remove(path.c_str()); }
};

const std::string& InputPath() {
    static const InputFile file;
    return file.path;
}

void CheckTextures(ArchiveFile& file, const MapHeader& header) {
    ReadError error = ReadError::None;
    const auto map = ReadMapTextures(file, &error);
    if ((header.version == MapVersion::Ibsp) != (error == ReadError::MapNamesTextures)) {
        std::abort();
    }
    if (!map) {
        return;
    }
    const std::uint64_t lumpEnd = std::uint64_t{header.lump.offset} + header.lump.length;
    const WadKind kind = *MapTextureKind(map->version);
    for (const MapTexture& texture : map->textures) {
        // A texture may start inside another's bytes (no compiler writes that), which leaves the
        // other shorter than a header: the decoder refuses it, so only an empty one is wrong.
        if (texture.offset < header.lump.offset || texture.length == 0 ||
            std::uint64_t{texture.offset} + texture.length > lumpEnd ||
            CheckEntryName(texture.name) != ReadError::None || texture.name.size() > 15 ||
            texture.width == 0 || texture.height == 0 || texture.width > 32768 ||
            texture.height > 32768) {
            std::abort();
        }
        if (texture.outside) {
            continue;
        }
        const auto bytes = file.Read(texture.offset, texture.length, nullptr);
        if (!bytes) {
            std::abort();
        }
        const auto decoded = kind == WadKind::Wad2
                                 ? DecodeWad2Lump(*bytes, nullptr, LevelsWanted::All)
                                 : DecodeWad3Lump(*bytes, nullptr, LevelsWanted::All);
        if (decoded && (static_cast<std::uint32_t>(decoded->indexed->width) != texture.width ||
                        static_cast<std::uint32_t>(decoded->indexed->height) != texture.height)) {
            std::abort();
        }
    }
}

void CheckTextureInfos(ArchiveFile& file, const MapHeader& header) {
    ReadError error = ReadError::None;
    const auto infos = ReadMapTextureInfos(file, &error);
    if ((header.version != MapVersion::Ibsp) != (error == ReadError::NotAnArchive)) {
        std::abort();
    }
    if (!infos) {
        return;
    }
    if (infos->size() * 76 != header.lump.length) {
        std::abort();
    }
    for (const MapTextureInfo& info : *infos) {
        if (info.name.size() >= 32 || info.name.find('\0') != std::string::npos) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto header = ParseMapHeader(bytes.first(std::min(size, kMapHeaderSize)), size);
    if (!header) {
        return 0;
    }
    const std::size_t headerSize = header->version == MapVersion::Ibsp ? 160 : 124;
    if ((header->lump.length != 0 && header->lump.offset < headerSize) ||
        !FitsIn(size, header->lump.offset, header->lump.length)) {
        std::abort();
    }
    {
        std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out.flush()) {
            std::abort();
        }
    }
    ArchiveFile file(InputPath());
    if (!file.Ok() || file.Size() != size) {
        std::abort();
    }
    CheckTextures(file, *header);
    CheckTextureInfos(file, *header);
    return 0;
}
