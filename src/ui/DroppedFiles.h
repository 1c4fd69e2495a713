#pragma once

// Files dropped onto the main window's image list.

#include <QStringList>

class QDropEvent;
class QListWidget;
class QMimeData;

namespace texelary {

class TProjectSetup;

// What became of the files of one drop.
struct DroppedFiles {
    bool added = false;  // at least one was added to the list
    QStringList refused; // "name: why" for each file that was not
};

// Adds to `list`, by name and each made current in turn, the dropped files that are of the
// project's source format and in its input directory. A path through a pak or a wad (the
// texture browser's, when the input directory runs through one) names the texture inside it.
DroppedFiles ListDroppedFiles(const QMimeData& dropped, const TProjectSetup& setup,
                              QListWidget& list);

// Accepts a drag over the image list when it carries files.
void AcceptFileDrag(QDropEvent& drag);

} // namespace texelary
