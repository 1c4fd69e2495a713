#include "ui/DroppedFiles.h"

#include "formats/ArchiveInput.h"
#include "formats/Formats.h"
#include "ui/LocalPath.h"
#include "ui/TProjectSetup.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

namespace texelary {

namespace {

// The archive and the folder in it that `path` runs through to its last part, the archive's
// path made canonical; none for a path that runs through no archive.
std::optional<PathInArchive> FolderInArchive(const QString& path, bool isFolder) {
    const std::string local = LocalPath(QDir::cleanPath(QDir(path).absolutePath()));
    std::optional<PathInArchive> inside = SplitArchivePath(local);
    if (!inside && isFolder && IsArchiveFile(local)) {
        inside = PathInArchive{local, {}};
    }
    if (!inside) {
        return std::nullopt;
    }
    if (!isFolder) {
        const std::size_t slash = inside->entry.rfind('/');
        inside->entry.erase(slash == std::string::npos ? 0 : slash);
    }
    while (!inside->entry.empty() && inside->entry.back() == '/') {
        inside->entry.pop_back();
    }
    inside->archive = LocalPath(QFileInfo(FromLocalPath(inside->archive)).canonicalFilePath());
    return inside;
}

// Why the texture at `path` inside an archive (as the texture browser drags and adds them) may
// not be added; empty when it may: it is in the input folder, which runs through the same
// archive, and of the source format (a wad's formats take every texture of the wad).
QString WhyEntryNotAdded(const QString& path, std::optional<SourceFormat> from,
                         const TProjectSetup& setup) {
    const auto folder = FolderInArchive(path, false);
    const auto input = FolderInArchive(setup.InputPath().text(), true);
    const QString name = path.section(QLatin1Char('/'), -1);
    if (!from ||
        (!RowOf(*from).wad && !QDir::match(QString::fromLatin1(RowOf(*from).mask), name))) {
        return QStringLiteral("the project converts from ") + setup.ConvFrom().currentText();
    }
    if (!input || folder->archive != input->archive || folder->entry != input->entry) {
        return QStringLiteral("not in the input directory ") +
               QDir::toNativeSeparators(setup.InputPath().text());
    }
    return {};
}

// Why the dropped `url` may not be added to the project; empty when it may.
QString WhyNotAdded(const QUrl& url, std::optional<SourceFormat> from, const QString& inputDir,
                    const TProjectSetup& setup) {
    const QString mask = QString::fromLatin1(from ? RowOf(*from).mask : "");
    const QFileInfo file(url.toLocalFile());
    if (!url.isLocalFile()) {
        return QStringLiteral("not a file on this computer");
    }
    if (FolderInArchive(url.toLocalFile(), false)) {
        return WhyEntryNotAdded(url.toLocalFile(), from, setup);
    }
    if (!file.isFile()) {
        return QStringLiteral("not a file");
    }
    // A wad's textures are lumps inside it, which no file dropped can be.
    if (!from || !QDir::match(mask, file.fileName()) || RowOf(*from).wad) {
        return QStringLiteral("the project converts from ") + setup.ConvFrom().currentText();
    }
    if (inputDir.isEmpty() || file.canonicalPath() != inputDir) {
        return QStringLiteral("not in the input directory ") +
               QDir::toNativeSeparators(setup.InputPath().text());
    }
    return {};
}

} // namespace

DroppedFiles ListDroppedFiles(const QMimeData& dropped, const TProjectSetup& setup,
                              QListWidget& list) {
    const auto from = SourceFormatAt(setup.ConvFrom().currentIndex());
    const QString inputDir = QDir(setup.InputPath().text()).canonicalPath();
    DroppedFiles outcome;
    const QList<QUrl> urls = dropped.urls();
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        const QString why = WhyNotAdded(url, from, inputDir, setup);
        if (why.isEmpty()) {
            list.addItem(file.fileName());
            list.setCurrentRow(list.count() - 1, QItemSelectionModel::ClearAndSelect);
            outcome.added = true;
        } else {
            const QString name = url.isLocalFile() ? file.fileName() : url.toDisplayString();
            outcome.refused.append(name + QStringLiteral(": ") + why);
        }
    }
    return outcome;
}

void AcceptFileDrag(QDropEvent& drag) {
    if (drag.mimeData()->hasUrls()) {
        drag.acceptProposedAction();
    }
}

} // namespace texelary
