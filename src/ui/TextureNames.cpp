#include "ui/TextureNames.h"

#include "convert/EntryPaths.h"
#include "formats/ArchiveInput.h"
#include "ui/LocalPath.h"

#include <QDir>

namespace texelary {

namespace {

std::optional<QStringList> FolderNames(const QString& path, SourceFormat format, QString& reason) {
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable()) {
        reason =
            QStringLiteral("Cannot read the directory \"%1\".").arg(QDir::toNativeSeparators(path));
        return std::nullopt;
    }
    dir.setNameFilters(QStringList{QString::fromLatin1(RowOf(format).mask)});
    dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    return dir.entryList();
}

// A pak's entries are named by their whole path inside it ("textures/e1/a.wal"); those directly
// in the folder are listed by the rest of their name. A wad has no folders.
std::optional<QStringList> ArchiveNames(const std::string& local, SourceFormat format,
                                        QString& reason) {
    const auto inside = SplitArchivePath(local);
    const std::string archive = inside ? inside->archive : local;
    std::string why;
    const auto entries = ArchiveEntriesOf(archive, format, why);
    if (!entries) {
        reason =
            QStringLiteral("Cannot read the archive \"%1\": %2")
                .arg(QDir::toNativeSeparators(FromLocalPath(archive)), QString::fromStdString(why));
        return std::nullopt;
    }
    QStringList names = EntriesInFolder(*entries, inside ? inside->entry : std::string());
    names.removeDuplicates();
    names.sort(Qt::CaseInsensitive);
    return names;
}

} // namespace

std::optional<QStringList> TextureNamesIn(const QString& folder, SourceFormat format,
                                          QString& reason) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    const std::string local = LocalPath(path);
    if (RowOf(format).wad || IsArchiveFile(local) || SplitArchivePath(local)) {
        return ArchiveNames(local, format, reason);
    }
    return FolderNames(path, format, reason);
}

QStringList EntriesInFolder(const std::vector<std::string>& entries, std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    QStringList names;
    for (const std::string& entry : entries) {
        if (entry.starts_with(folder) && entry.find('/', folder.size()) == std::string::npos) {
            names.append(FromLocalPath(entry.substr(folder.size())));
        }
    }
    return names;
}

QString TexturePath(const QString& folder, const QString& name) {
    return FromLocalPath(JoinPath(LocalPath(folder), LocalPath(name)));
}

} // namespace texelary
