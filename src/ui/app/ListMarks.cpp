#include "ui/app/ListMarks.h"

#include "base/NativePath.h"
#include "convert/OutputGuard.h"
#include "ui/app/LocalPath.h"
#include "ui/choosers/TextureNames.h"
#include "ui/run/RunFailures.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QListWidget>
#include <QPixmap>
#include <QSet>
#include <QStyle>
#include <cstdint>

namespace texelary {

namespace {

// Which mark a row bears, kept in the row itself so that it goes where the row goes.
enum class Mark : std::int32_t { None = 0, Missing = 1, Failed = 2 };
constexpr int kMarkRole = Qt::UserRole + 1;

Mark MarkOf(const QListWidgetItem& item) {
    return static_cast<Mark>(item.data(kMarkRole).toInt());
}

void SetMark(QListWidgetItem& item, Mark mark, const QString& tip) {
    if (mark == Mark::None) {
        if (MarkOf(item) != Mark::None) {
            item.setData(kMarkRole, {});
            item.setIcon({});
            item.setToolTip({});
        }
        return;
    }
    const QStyle::StandardPixmap icon =
        mark == Mark::Failed ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxQuestion;
    item.setData(kMarkRole, static_cast<int>(mark));
    item.setIcon(QApplication::style()->standardIcon(icon));
    item.setToolTip(tip);
}

// A mark's icon fits a line of the list with a pixel to spare above and below.
constexpr int kMarkIconSize = 11;

// What an unmarked row shows where the others have their marks, so that the names stay in line.
QIcon Blank() {
    QPixmap blank(kMarkIconSize, kMarkIconSize);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

} // namespace

ListMarks::ListMarks(QListWidget& list)
    : m_list(list)
    , m_blank(Blank()) {
    m_list.setIconSize({kMarkIconSize, kMarkIconSize});
    // Rows added while others bear marks line up with them.
    QObject::connect(m_list.model(), &QAbstractItemModel::rowsInserted, &m_list,
                     [this](const QModelIndex&, int first, int last) {
                         for (int row = first; m_anyMarked && row <= last; ++row) {
                             m_list.item(row)->setIcon(m_blank);
                         }
                     });
}

void ListMarks::LineUp() {
    m_anyMarked = false;
    for (int row = 0; row < m_list.count() && !m_anyMarked; ++row) {
        m_anyMarked = MarkOf(*m_list.item(row)) != Mark::None;
    }
    for (int row = 0; row < m_list.count(); ++row) {
        QListWidgetItem& item = *m_list.item(row);
        if (MarkOf(item) == Mark::None) {
            item.setIcon(m_anyMarked ? m_blank : QIcon());
        }
    }
}

void ListMarks::MarkMissing(const QString& folder, SourceFormat format) {
    if (m_list.count() == 0) {
        return;
    }
    QString reason;
    const std::optional<QStringList> names = TextureNamesIn(folder, format, reason);
    // Names are compared as the folder's file system compares them.
    const bool anyCase = NamesIgnoreCase(NativePath(LocalPath(folder)));
    const auto key = [anyCase](const QString& name) {
        return anyCase ? name.toCaseFolded() : name;
    };
    QSet<QString> held;
    for (const QString& name : names.value_or(QStringList())) {
        held.insert(key(name));
    }
    const QString shown = QDir::toNativeSeparators(folder);
    for (int row = 0; row < m_list.count(); ++row) {
        QListWidgetItem& item = *m_list.item(row);
        if (MarkOf(item) == Mark::Failed) {
            continue;
        }
        const bool missing = !held.contains(key(item.text()));
        SetMark(item, missing ? Mark::Missing : Mark::None,
                QStringLiteral("\"%1\" is not in the input folder \"%2\"").arg(item.text(), shown));
    }
    LineUp();
}

void ListMarks::ClearFailures(const QString& folder, SourceFormat format) {
    for (int row = 0; row < m_list.count(); ++row) {
        if (MarkOf(*m_list.item(row)) == Mark::Failed) {
            SetMark(*m_list.item(row), Mark::None, {});
        }
    }
    MarkMissing(folder, format);
}

void ListMarks::MarkFailures(const RunFailures& failures) {
    for (const FailedEntry& failed : failures.Entries()) {
        QListWidgetItem* item = failed.row ? m_list.item(static_cast<int>(*failed.row)) : nullptr;
        if (item != nullptr) {
            SetMark(*item, Mark::Failed, QString::fromStdString(failed.reason));
        }
    }
    LineUp();
}

QString ListMarks::MissingText(const QListWidgetItem& item) {
    return MarkOf(item) == Mark::Missing ? item.toolTip() : QString();
}

} // namespace texelary
