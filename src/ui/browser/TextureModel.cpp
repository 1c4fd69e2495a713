#include "ui/browser/TextureModel.h"

#include "ui/choosers/TextureNames.h"

#include <QMimeData>
#include <QUrl>
#include <algorithm>

namespace texelary {

TextureModel::TextureModel(ThumbnailLoader& loader, QObject* parent)
    : QAbstractListModel(parent)
    , m_loader(loader) {
    connect(&m_loader, &ThumbnailLoader::Ready, this, &TextureModel::Ready);
}

void TextureModel::SetTextures(const QString& folder, SourceFormat format,
                               const QStringList& names) {
    beginResetModel();
    m_loader.Reset(format);
    m_folder = folder;
    m_names = names;
    Show();
    endResetModel();
}

void TextureModel::SetFilter(const QString& text) {
    beginResetModel();
    m_filter = text;
    Show();
    endResetModel();
}

void TextureModel::Show() {
    m_shown.clear();
    m_rowOfPath.clear();
    for (const QString& name : std::as_const(m_names)) {
        if (name.contains(m_filter, Qt::CaseInsensitive)) {
            m_rowOfPath.insert(TexturePath(m_folder, name), static_cast<int>(m_shown.size()));
            m_shown.append(name);
        }
    }
}

QString TextureModel::PathAt(int row) const {
    return TexturePath(m_folder, NameAt(row));
}

int TextureModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

QVariant TextureModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown.size()) {
        return {};
    }
    const QString& name = m_shown[index.row()];
    switch (role) {
    case Qt::DisplayRole: {
        const QSize size = m_loader.SizeOf(PathAt(index.row()));
        return size.isValid()
                   ? QStringLiteral("%1\n%2 x %3").arg(name).arg(size.width()).arg(size.height())
                   : name;
    }
    case Qt::ToolTipRole:
        return name;
    case Qt::DecorationRole: {
        const Thumbnail* thumbnail = m_loader.Find(PathAt(index.row()));
        return thumbnail != nullptr ? thumbnail->picture : m_loader.Loading();
    }
    case ThumbnailRole: {
        const Thumbnail* thumbnail = m_loader.Find(PathAt(index.row()));
        const ThumbnailState state = thumbnail == nullptr ? ThumbnailState::Loading
                                     : thumbnail->damaged ? ThumbnailState::Damaged
                                                          : ThumbnailState::Ready;
        return static_cast<int>(state);
    }
    default:
        return {};
    }
}

Qt::ItemFlags TextureModel::flags(const QModelIndex& index) const {
    return QAbstractListModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList TextureModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

std::unique_ptr<QMimeData> TextureModel::UrlsOf(const QList<int>& rows) const {
    QList<QUrl> urls;
    for (const int row : rows) {
        urls.append(QUrl::fromLocalFile(PathAt(row)));
    }
    auto dragged = std::make_unique<QMimeData>();
    dragged->setUrls(urls);
    return dragged;
}

QMimeData* TextureModel::mimeData(const QModelIndexList& indexes) const {
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    // The view takes the data and deletes it when the drag ends.
    return UrlsOf(rows).release();
}

Qt::DropActions TextureModel::supportedDragActions() const {
    return Qt::CopyAction;
}

void TextureModel::Ready(const QString& path) {
    const auto found = m_rowOfPath.constFind(path);
    if (found != m_rowOfPath.constEnd()) {
        const QModelIndex changed = index(*found);
        emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::DecorationRole});
    }
}

} // namespace texelary
