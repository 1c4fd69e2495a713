#pragma once

// Marks on the image list's rows, an icon and a tooltip each: a row whose file the last run could
// not convert (until the next run starts), and a row whose file is not in the input folder (from
// when the folder changes or a project is loaded, until the folder holds it again). A failure's
// mark stands over a missing file's. While any row bears a mark, the others show a blank of its
// size, so that the names stay in line.

#include "formats/Formats.h"

#include <QIcon>
#include <QString>

class QListWidget;
class QListWidgetItem;

namespace texelary {

class RunFailures;

class ListMarks {
public:
    // The list outlives the marks (both are the main window's). Its icons are made small enough
    // for its lines.
    explicit ListMarks(QListWidget& list);

    // Marks the rows whose file `folder` (as the run takes it: a folder, a pak or a folder in
    // one, a wad) does not hold among its textures of `format`, and clears the others' marks.
    // The folder is listed once, whatever the list's length.
    void MarkMissing(const QString& folder, SourceFormat format);

    // A run starts: the last run's marks go, and the rows whose file is missing are marked again.
    void ClearFailures(const QString& folder, SourceFormat format);
    // The rows of the run's failures, by the run's index of each.
    void MarkFailures(const RunFailures& failures);

    // What the status line says of `item`: that its file is not in the input folder; empty for a
    // row not so marked.
    static QString MissingText(const QListWidgetItem& item);

private:
    // Gives the unmarked rows the blank while any row is marked, and nothing once none is.
    void LineUp();

    QListWidget& m_list;
    QIcon m_blank;
    bool m_anyMarked = false;
};

} // namespace texelary
