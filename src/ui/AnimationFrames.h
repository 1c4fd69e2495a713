#pragma once

// Which textures of a list are the frames of one animation, as the engines play them: the
// numbered frames of a WAD2 texture ("+0lava", "+1lava", ..., or the alternate frames "+alava",
// "+blava", ...), or the next frames that the .m8 and .wal headers name, one after the other.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace texelary {

// The numbered frames among `names` of the run that `name` belongs to, in the order they are
// played ("+0lava.wal", "+1lava.wal", ...); empty when `name` is not a numbered frame. Names are
// compared in any case, without their extension.
QStringList NumberedFramesOf(const QString& name, const QStringList& names);

// The texture of `names` that the animation name `next` (a header's field, a path in the game
// such as "e1u1/lava2") names: one named as the whole of it or as its last part, without the
// extension, in any case, '\' as '/'. None when no texture of the list has that name.
std::optional<QString> TextureNamed(const std::string& next, const QStringList& names);

} // namespace texelary
