#include "ui/browser/TextureModel.h"

#include "ui/choosers/TextureNames.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QUrl>
#include <algorithm>

namespace texelary {

TextureModel::TextureModel(ThumbnailLoader& loader, QObject* parent)
    : QAbstractListModel(parent)
    , m_loader(loader) {
    connect(&m_loader, &ThumbnailLoader::Ready, this, &TextureModel::Ready);
}

void TextureModel::SetTextures(const QString& folder, SourceFormat format,
                               const QStringList& folders, const QStringList& names,
                               EntrySources sources) {
    beginResetModel();
    m_loader.Reset(format, std::move(sources));
    m_folder = folder;
    m_folders = folders;
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
    m_shown = m_folders;
    m_shownFolders = static_cast<int>(m_folders.size());
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
    if (IsFolder(index.row())) {
        return FolderData(name, role);
    }
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

QVariant TextureModel::FolderData(const QString& name, int role) {
    switch (role) {
    case Qt::DisplayRole:
        return name;
    case Qt::ToolTipRole:
        return name + QLatin1Char('/');
    case Qt::DecorationRole:
        return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    case FolderRole:
        return true;
    default:
        return {};
    }
}

Qt::ItemFlags TextureModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags flags = QAbstractListModel::flags(index);
    return IsFolder(index.row()) ? flags : flags | Qt::ItemIsDragEnabled;
}

QStringList TextureModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

std::unique_ptr<QMimeData> TextureModel::UrlsOf(const QList<int>& rows) const {
    QList<QUrl> urls;
    for (const int row : rows) {
        if (IsFolder(row)) {
            continue;
        }
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
    std::unique_ptr<QMimeData> dragged = m_dragged ? m_dragged(rows) : nullptr;
    // The view takes the data and deletes it when the drag ends.
    return (dragged ? std::move(dragged) : UrlsOf(rows)).release();
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

QString ShownName(const QString& name, const QFontMetrics& metrics, int width) {
    return metrics.horizontalAdvance(name) <= width
               ? name
               : metrics.elidedText(name, Qt::ElideLeft, width);
}

namespace {

namespace CellLayout {
constexpr int kMargin = 3;     // between the cell's edge and what it draws
constexpr int kNameWidth = 18; // names of this many average characters show whole
constexpr int kFrame = 2;      // the selection's frame
} // namespace CellLayout

QPixmap DecorationOf(const QModelIndex& index, int side) {
    const QVariant decoration = index.data(Qt::DecorationRole);
    return decoration.typeId() == QMetaType::QIcon ? decoration.value<QIcon>().pixmap(side, side)
                                                   : decoration.value<QPixmap>();
}

} // namespace

TextureDelegate::TextureDelegate(int side, const QFontMetrics& metrics, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_side(side)
    , m_cell(std::max(side, metrics.averageCharWidth() * CellLayout::kNameWidth) +
                 4 * CellLayout::kMargin,
             side + 2 * metrics.lineSpacing() + 5 * CellLayout::kMargin) {}

QSize TextureDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                                const QModelIndex& /*index*/) const {
    return m_cell;
}

void TextureDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    using namespace CellLayout;
    painter->save();
    const QRect cell = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPixmap picture = DecorationOf(index, m_side);
    const QSize shown = picture.deviceIndependentSize().toSize();
    const QRect square(cell.left() + (cell.width() - m_side) / 2, cell.top() + 2 * kMargin, m_side,
                       m_side);
    painter->drawPixmap(QRect(QPoint(square.left() + (m_side - shown.width()) / 2,
                                     square.top() + (m_side - shown.height()) / 2),
                              shown),
                        picture);
    const QStringList lines = index.data(Qt::DisplayRole).toString().split(QLatin1Char('\n'));
    const int lineHeight = option.fontMetrics.lineSpacing();
    const QRect text(cell.left() + 2 * kMargin, square.bottom() + 1 + kMargin,
                     cell.width() - 4 * kMargin, lineHeight);
    const QString name = ShownName(lines.value(0), option.fontMetrics, text.width());
    if (selected) {
        const int width = option.fontMetrics.horizontalAdvance(name) + 2 * kMargin;
        painter->fillRect(QRect(text.center().x() - width / 2, text.top(), width, lineHeight),
                          option.palette.highlight());
    }
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(text, Qt::AlignCenter, name);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(text.translated(0, lineHeight), Qt::AlignCenter, lines.value(1));
    if (selected || option.state.testFlag(QStyle::State_HasFocus)) {
        painter->setPen(QPen(option.palette.highlight().color(), kFrame,
                             selected ? Qt::SolidLine : Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(cell.adjusted(kFrame / 2, kFrame / 2, -kFrame / 2, -kFrame / 2));
    }
    painter->restore();
}

} // namespace texelary
