#pragma once

// Files dropped onto the main window's image list.

#include <QStringList>

class QDropEvent;
class QMimeData;

namespace texelary {

class TProjectSetup;

// What became of the files of one drop.
struct DroppedFiles {
    QStringList added;   // the names to add to the list, in the drop's order
    QStringList refused; // "name: why" for each file that may not be added
};

// Sorts the dropped files into those that may be added to the image list, by name (those of the
// project's source format in its input directory), and the others.
DroppedFiles ListDroppedFiles(const QMimeData& dropped, const TProjectSetup& setup);

// Accepts a drag over the image list when it carries files.
void AcceptFileDrag(QDropEvent& drag);

} // namespace texelary
