#pragma once

// Files dropped onto the main window's image list.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class QDropEvent;
class QMimeData;

namespace texelary {

class ProjectModel;

// What became of the files of one drop.
struct DroppedFiles {
    QStringList added;   // the names to add to the list, in the drop's order
    QStringList refused; // "name: why" for each file that may not be added
};

// What a drag of textures out of a pak or wad carries beside the copies it gives file managers:
// the textures' paths through the archive, one URL a line, which the image list takes instead.
inline constexpr char kArchivePathsFormat[] = "application/x-texelary-archive-paths";

// The paths through archives that `urls` name, as a drag carries them.
QByteArray EncodeArchivePaths(const QList<QUrl>& urls);

// Sorts the dropped files into those that may be added to the image list, by name (those of the
// project's source format in its input directory, `inputFolder` as the run takes the
// project's), and the others. A path through a pak, a wad or a map (the texture browser's, when the
// input directory runs through one) names the texture inside it.
DroppedFiles ListDroppedFiles(const QMimeData& dropped, const ProjectModel& project,
                              const QString& inputFolder);

// Accepts a drag over the image list when it carries files.
void AcceptFileDrag(QDropEvent& drag);

} // namespace texelary
