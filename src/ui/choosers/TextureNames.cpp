#include "ui/choosers/TextureNames.h"

#include "archives/ArchiveListing.h"
#include "convert/EntryPaths.h"
#include "ui/app/LocalPath.h"

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

} // namespace

std::optional<QStringList> TextureNamesIn(const QString& folder, SourceFormat format,
                                          QString& reason) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    const std::string local = LocalPath(path);
    if (!RowOf(format).wad && !ArchiveFolderOf(local)) {
        return FolderNames(path, format, reason);
    }
    std::string archive;
    std::string why;
    auto names = ArchiveTextureNames(local, format, archive, why);
    if (!names) {
        reason =
            QStringLiteral("Cannot read the archive \"%1\": %2")
                .arg(QDir::toNativeSeparators(FromLocalPath(archive)), QString::fromStdString(why));
    }
    return names;
}

// A pak's entries are named by their whole path inside it ("textures/e1/a.wal"); those directly
// in the folder are listed by the rest of their name.
std::optional<QStringList> ArchiveTextureNames(const std::string& local, SourceFormat format,
                                               std::string& archive, std::string& why) {
    const PathInArchive place = ArchiveFolderOf(local).value_or(PathInArchive{local, {}});
    ReadError error = ReadError::None;
    const auto entries =
        ListArchiveEntries(place.archive, place.entry, format, ListingDepth::Folder, &error);
    if (!entries) {
        archive = place.archive;
        why = DescribeReadError(error);
        return std::nullopt;
    }
    const std::size_t prefix = place.entry.empty() ? 0 : place.entry.size() + 1;
    QStringList names;
    for (const std::string& entry : *entries) {
        names.append(FromLocalPath(entry.substr(prefix)));
    }
    names.removeDuplicates();
    names.sort(Qt::CaseInsensitive);
    return names;
}

QStringList TexturesOutsideMap(const QString& folder, SourceFormat format) {
    const std::string local = LocalPath(QDir::cleanPath(QDir(folder).absolutePath()));
    const std::optional<WadKind> kind = RowOf(format).wad;
    if (!kind || !IsArchiveFile(local)) {
        return {};
    }
    const OpenedArchive& archive = ArchiveAt(local);
    const ArchiveDirectory& directory = archive.Directory();
    if (archive.Error() != ReadError::None || !directory.map || directory.mipTextures != kind) {
        return {};
    }
    QStringList names;
    for (const StoredEntry& entry : directory.entries) {
        if (entry.outside) {
            names.append(FromLocalPath(entry.name));
        }
    }
    names.removeDuplicates();
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString TexturePath(const QString& folder, const QString& name) {
    return FromLocalPath(JoinPath(LocalPath(folder), LocalPath(name)));
}

} // namespace texelary
