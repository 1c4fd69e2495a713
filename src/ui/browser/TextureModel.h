#pragma once

// The texture browser's grid: the textures of one input folder, those whose names contain the
// filter's text, each drawn as its thumbnail with its name and size. Thumbnails are asked of the
// loader only when the view draws an item, so only what is on screen is ever read. Items can be
// dragged: they carry the textures' paths as file URLs, as files dragged from a file manager do.

#include "ui/browser/ThumbnailLoader.h"

#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

namespace texelary {

class TextureModel final : public QAbstractListModel {
public:
    // What ThumbnailRole gives for an item.
    enum class ThumbnailState : int { Loading = 0, Ready = 1, Damaged = 2 };
    static constexpr int ThumbnailRole = Qt::UserRole + 1;

    explicit TextureModel(ThumbnailLoader& loader, QObject* parent = nullptr);

    // Lists `names`, textures of `format` in `folder`; the filter is kept.
    void SetTextures(const QString& folder, SourceFormat format, const QStringList& names);
    // Shows only the textures whose names contain `text`, in any case.
    void SetFilter(const QString& text);

    const QString& Folder() const { return m_folder; }
    const QStringList& AllNames() const { return m_names; }
    QString NameAt(int row) const { return m_shown.value(row); }
    QString PathAt(int row) const;

    // The file URLs of the textures at `rows`, as a drag carries them.
    std::unique_ptr<QMimeData> UrlsOf(const QList<int>& rows) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    void Ready(const QString& path);
    void Show();

    ThumbnailLoader& m_loader;
    QString m_folder;
    QStringList m_names;
    QString m_filter;
    QStringList m_shown;             // the names the filter lets through, in list order
    QHash<QString, int> m_rowOfPath; // of the names shown
};

} // namespace texelary
