#pragma once

// The main window's preview of one source file: its picture, its smaller mip levels beside it,
// and a line of what its header says.

#include "formats/Formats.h"

#include <QImage>
#include <QLabel>
#include <QList>
#include <QString>
#include <optional>

namespace texelary {

// The picture control of the preview. It draws its picture whole and centred in its own size,
// aspect ratio kept, enlarged pixel by pixel (nearest neighbour) or reduced smoothly; a mip
// texture's smaller levels stand in a column at its right, each half the one above, as they are
// stored. pixmap() is the full-size picture as it was read.
class PreviewLabel final : public QLabel {
    Q_OBJECT
public:
    explicit PreviewLabel(QWidget* parent = nullptr)
        : QLabel(parent) {}

    // Shows `picture` and, beside it, `levels` (the levels after level 0, in order).
    void ShowPicture(const QImage& picture, const QList<QImage>& levels);
    // Shows nothing.
    void ClearPicture();
    const QList<QImage>& Levels() const { return m_levels; }

    // Where the picture of `picture`'s size and its levels column (half its width) are drawn in
    // `area`: as large as fits, aspect ratio kept, centred.
    static QRect FittedRect(QSize picture, bool withLevels, const QRect& area);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QImage> m_levels;
};

// Shows the file at `path` in `preview` and what its header says in `info`. Bitmaps (and files
// of a format index out of range) go through the platform's bitmap loader; every other source
// format, and every texture inside a pak, a wad or a map, through the run's own read step, so that
// what is shown is what will be converted, palette pictures in their own colours and true-colour
// ones as they are, with the levels and header fields that step reads. A file that can't be opened,
// or an entry its archive doesn't have, empties the preview; one that opens but is refused is
// reported by the application's error report, naming the file, with the reader's own words as
// the reason, and the preview is emptied before the report, so that it never shows another
// file's picture beside the report.
void ShowPreviewPicture(PreviewLabel& preview, QLabel& info, const QString& path,
                        std::optional<SourceFormat> from);

// Empties the preview and its line: nothing is selected, or the list is empty.
void ClearPreviewPicture(PreviewLabel& preview, QLabel& info);

// The status line's words for a picture of format `kind` and size `picture`, its smaller
// `levels` and its header `fields`, as --info words them: "size: 64 x 64, levels: 4: 64 x 64,
// 32 x 32, 16 x 16, 8 x 8 | name: "e1u1/floor1", animation name: "", flags: 0x00000000,
// contents: 0x00000001, value: 0x00000000". The levels are left out for a picture without smaller
// ones.
QString PreviewFacts(SourceFormat kind, QSize picture, const QList<QImage>& levels,
                     const std::optional<HeaderFields>& fields);

// Puts `text` into the one-line `label`, cut at its end with an ellipsis where the label is too
// narrow; the whole text is the label's tooltip.
void SetElidedText(QLabel& label, const QString& text);

} // namespace texelary
