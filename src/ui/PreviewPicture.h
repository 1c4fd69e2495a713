#pragma once

// The main window's preview of one source file.

#include "formats/Formats.h"

#include <QString>
#include <optional>

class QLabel;

namespace texelary {

// Shows the file at `path` in `preview`, which draws it stretched to its own size. Bitmaps (and
// files of a format index out of range) go through the platform's bitmap loader; every other
// source format, and every texture inside a pak or a wad, through the run's own read step, so
// that what is shown is what will be converted, palette pictures in their own colours and
// true-colour ones as they are. A file that can't be opened, or an entry its archive doesn't
// have, is ignored (the preview keeps its picture); one that opens but is refused is reported by
// the application's error report, naming the file, with the reader's own words as the reason.
void ShowPreviewPicture(QLabel& preview, const QString& path, std::optional<SourceFormat> from);

} // namespace texelary
