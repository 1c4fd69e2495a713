#pragma once

// The textures of one source format in an input folder, by the names the image list takes, as
// the file chooser lists them: in a folder its files that match the format's mask (case ignored,
// folders and hidden files left out); in a pak, or a folder inside one, the entries of the
// format's extension in that folder; for a wad's formats the mip textures of that kind of the
// wad or the compiled map, by lump name. Sorted ignoring case.

#include "formats/Formats.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace texelary {

// None, with the reason in `reason`, when the folder or the archive can't be read.
std::optional<QStringList> TextureNamesIn(const QString& folder, SourceFormat format,
                                          QString& reason);

// The textures of `format` directly in the archive or the folder of one at `local` (absolute and
// clean; for a wad's formats, the wad), by the rest of their names there, sorted ignoring case.
// None when the archive can't be read: `archive` then holds its path, `why` the reason.
std::optional<QStringList> ArchiveTextureNames(const std::string& local, SourceFormat format,
                                               std::string& archive, std::string& why);

// The mip textures of `format` that the compiled map `folder` names but holds no pixels for (they
// live in a wad outside it), which TextureNamesIn leaves out; sorted ignoring case. Empty for a
// folder that is no readable map, or a format whose textures the map's are not.
QStringList TexturesOutsideMap(const QString& folder, SourceFormat format);

// The path of the texture `name` listed in `folder`, as the run and the preview build it.
QString TexturePath(const QString& folder, const QString& name);

} // namespace texelary
