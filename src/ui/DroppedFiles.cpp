#include "ui/DroppedFiles.h"

#include "formats/Formats.h"
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

// Why the dropped `url` may not be added to the project; empty when it may.
QString WhyNotAdded(const QUrl& url, std::optional<SourceFormat> from, const QString& inputDir,
                    const TProjectSetup& setup) {
    const QString mask = QString::fromLatin1(from ? RowOf(*from).mask : "");
    const QFileInfo file(url.toLocalFile());
    if (!url.isLocalFile()) {
        return QStringLiteral("not a file on this computer");
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
