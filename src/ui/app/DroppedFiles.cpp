#include "ui/app/DroppedFiles.h"

#include "archives/ArchiveListing.h"
#include "formats/Formats.h"
#include "ui/app/LocalPath.h"
#include "ui/project/ProjectModel.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHash>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace texelary {

namespace {

// The archive and the folder in it that `folder` is or runs through, the archive's path made
// canonical; none for a folder that is no archive and runs through none.
std::optional<PathInArchive> FolderInArchive(const QString& folder) {
    std::optional<PathInArchive> place =
        ArchiveFolderOf(LocalPath(QDir::cleanPath(QDir(folder).absolutePath())));
    if (place) {
        place->archive = LocalPath(QFileInfo(FromLocalPath(place->archive)).canonicalFilePath());
    }
    return place;
}

// What a dropped file must be to be added. The mask and each folder's canonical path are worked
// out once per drop, not once per file: a drop of 10,000 files from one folder resolves it once.
class DropRules {
public:
    DropRules(const ProjectModel& project, const QString& inputFolder)
        : m_project(project)
        , m_from(project.ConvFrom())
        , m_inputFolder(inputFolder)
        , m_inputDir(QDir(inputFolder).canonicalPath()) {
        m_mask.setPattern(QRegularExpression::wildcardToRegularExpression(
            QString::fromLatin1(RowOf(m_from).mask)));
        m_mask.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
    }

    // Why the dropped `url` may not be added to the project; empty when it may.
    QString WhyNotAdded(const QUrl& url) {
        const QFileInfo file(url.toLocalFile());
        if (!url.isLocalFile()) {
            return QStringLiteral("not a file on this computer");
        }
        const QString dropped = QDir::cleanPath(QDir(url.toLocalFile()).absolutePath());
        if (const auto folder = FolderInArchive(QFileInfo(dropped).path())) {
            return WhyEntryNotAdded(*folder, file.fileName());
        }
        if (!file.isFile()) {
            return QStringLiteral("not a file");
        }
        // A wad's textures are lumps inside it, which no file dropped can be.
        if (!m_mask.match(file.fileName()).hasMatch() || RowOf(m_from).wad) {
            return ConvertsFrom();
        }
        if (m_inputDir.isEmpty() || CanonicalFolder(file.absolutePath()) != m_inputDir) {
            return NotInInput();
        }
        return {};
    }

private:
    // Why a texture inside an archive (as the texture browser drags and adds them) may not be
    // added; empty when it may: it is in the input folder, which runs through the same archive,
    // and of the source format (a wad's formats take every texture of the wad).
    QString WhyEntryNotAdded(const PathInArchive& folder, const QString& name) {
        if (!RowOf(m_from).wad && !m_mask.match(name).hasMatch()) {
            return ConvertsFrom();
        }
        if (!m_inputInArchive) {
            m_inputInArchive = FolderInArchive(m_inputFolder);
        }
        const auto& input = *m_inputInArchive;
        if (!input || folder.archive != input->archive || folder.entry != input->entry) {
            return NotInInput();
        }
        return {};
    }

    QString ConvertsFrom() const {
        return QStringLiteral("the project converts from ") +
               QString::fromLatin1(RowOf(m_from).caption);
    }

    QString NotInInput() const {
        return QStringLiteral("not in the input directory ") +
               QDir::toNativeSeparators(m_project.InputPath());
    }

    const QString& CanonicalFolder(const QString& folder) {
        auto known = m_canonical.constFind(folder);
        if (known == m_canonical.constEnd()) {
            known = m_canonical.insert(folder, QDir(folder).canonicalPath());
        }
        return *known;
    }

    const ProjectModel& m_project;
    SourceFormat m_from;
    QString m_inputFolder;
    QString m_inputDir;
    QRegularExpression m_mask;
    QHash<QString, QString> m_canonical;
    // The archive and folder in it that the input folder runs through, once asked for.
    std::optional<std::optional<PathInArchive>> m_inputInArchive;
};

} // namespace

DroppedFiles ListDroppedFiles(const QMimeData& dropped, const ProjectModel& project,
                              const QString& inputFolder) {
    DropRules rules(project, inputFolder);
    DroppedFiles outcome;
    QList<QUrl> urls;
    if (dropped.hasFormat(QLatin1String(kArchivePathsFormat))) {
        for (const QByteArray& line :
             dropped.data(QLatin1String(kArchivePathsFormat)).split('\n')) {
            if (!line.isEmpty()) {
                urls.append(QUrl::fromEncoded(line));
            }
        }
    } else {
        urls = dropped.urls();
    }
    for (const QUrl& url : urls) {
        const QFileInfo file(url.toLocalFile());
        const QString why = rules.WhyNotAdded(url);
        if (why.isEmpty()) {
            outcome.added.append(file.fileName());
        } else {
            const QString name = url.isLocalFile() ? file.fileName() : url.toDisplayString();
            outcome.refused.append(name + QStringLiteral(": ") + why);
        }
    }
    return outcome;
}

QByteArray EncodeArchivePaths(const QList<QUrl>& urls) {
    QByteArray lines;
    for (const QUrl& url : urls) {
        lines += url.toEncoded() + '\n';
    }
    return lines;
}

void AcceptFileDrag(QDropEvent& drag) {
    if (drag.mimeData()->hasUrls()) {
        drag.acceptProposedAction();
    }
}

} // namespace texelary
