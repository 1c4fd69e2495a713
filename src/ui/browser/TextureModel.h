#pragma once

// The texture browser's grid: the sub-folders of one folder and its textures whose names contain
// the filter's text, each texture drawn as its thumbnail with its name and size. Thumbnails are
// asked of the loader only when the view draws an item, so only what is on screen is ever read.
// Items can be dragged: they carry the textures' paths as file URLs, as files dragged from a file
// manager do.

#include "ui/browser/ThumbnailLoader.h"

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>
#include <memory>

namespace texelary {

class TextureModel final : public QAbstractListModel {
public:
    // What ThumbnailRole gives for an item.
    enum class ThumbnailState : int { Loading = 0, Ready = 1, Damaged = 2 };
    static constexpr int ThumbnailRole = Qt::UserRole + 1;
    // Whether an item is a sub-folder rather than a texture.
    static constexpr int FolderRole = Qt::UserRole + 2;

    explicit TextureModel(ThumbnailLoader& loader, QObject* parent = nullptr);

    // Lists the sub-folders `folders` first, then `names`, textures of `format` in `folder`, read
    // from `sources` where they have one (an archive being edited); the filter is kept.
    void SetTextures(const QString& folder, SourceFormat format, const QStringList& folders,
                     const QStringList& names, EntrySources sources = {});
    // Shows only the textures whose names contain `text`, in any case; folders always show.
    void SetFilter(const QString& text);

    const QString& Folder() const { return m_folder; }
    const QStringList& AllNames() const { return m_names; }
    QString NameAt(int row) const { return m_shown.value(row); }
    bool IsFolder(int row) const { return row >= 0 && row < m_shownFolders; }
    // The textures the filter lets through, folders left out.
    int ShownTextures() const { return static_cast<int>(m_shown.size()) - m_shownFolders; }
    QString PathAt(int row) const;

    // The file URLs of the textures at `rows`, as a drag carries them.
    std::unique_ptr<QMimeData> UrlsOf(const QList<int>& rows) const;
    // What a drag of the textures at `rows` carries instead of UrlsOf, when it gives anything:
    // the files of an archive being edited, extracted for the moment.
    using DraggedFiles = std::function<std::unique_ptr<QMimeData>(const QList<int>& rows)>;
    void SetDragged(DraggedFiles dragged) { m_dragged = std::move(dragged); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    void Ready(const QString& path);
    void Show();
    static QVariant FolderData(const QString& name, int role);

    ThumbnailLoader& m_loader;
    QString m_folder;
    QStringList m_folders;
    QStringList m_names;
    QString m_filter;
    QStringList m_shown; // the folders, then the names the filter lets through
    int m_shownFolders = 0;
    QHash<QString, int> m_rowOfPath; // of the names shown
    DraggedFiles m_dragged;
};

// The name as a cell of `width` pixels shows it: whole when it fits, else cut at the left, so
// that the file name at its end, where names of one folder differ, stays whole.
QString ShownName(const QString& name, const QFontMetrics& metrics, int width);

// Draws a grid cell of a fixed size: the thumbnail, its name and its size line below. Every cell
// is as large as the longest of them needs, read or not yet, so the grid never reflows. A
// selected cell is framed and its name highlighted; the thumbnail keeps its own colours.
class TextureDelegate final : public QStyledItemDelegate {
public:
    TextureDelegate(int side, const QFontMetrics& metrics, QObject* parent = nullptr);

    QSize Cell() const { return m_cell; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_side;
    QSize m_cell;
};

} // namespace texelary
