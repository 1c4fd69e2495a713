#include "ui/app/ListEdit.h"

#include "base/NativePath.h"
#include "convert/OutputGuard.h"
#include "ui/app/LocalPath.h"

#include <QListWidget>
#include <QSet>
#include <algorithm>

namespace texelary {

QList<ListRun> RunsOfRows(const QListWidget& list, QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    QList<ListRun> runs;
    for (qsizetype first = 0; first < rows.size();) {
        qsizetype last = first + 1;
        while (last < rows.size() && rows[last] == rows[last - 1] + 1) {
            ++last;
        }
        ListRun run{rows[first], {}};
        for (qsizetype i = first; i < last; ++i) {
            run.names.append(list.item(rows[i])->text());
        }
        runs.append(std::move(run));
        first = last;
    }
    return runs;
}

QStringList NamesNotListed(const QListWidget& list, const QStringList& names,
                           const QString& folder) {
    if (names.isEmpty()) {
        return {};
    }
    const bool anyCase = NamesIgnoreCase(NativePath(LocalPath(folder)));
    const auto key = [anyCase](const QString& name) {
        return anyCase ? name.toCaseFolded() : name;
    };
    QSet<QString> listed;
    listed.reserve(list.count() + names.size());
    for (int i = 0; i < list.count(); ++i) {
        listed.insert(key(list.item(i)->text()));
    }
    QStringList added;
    for (const QString& name : names) {
        const QString known = key(name);
        if (!listed.contains(known)) {
            listed.insert(known);
            added.append(name);
        }
    }
    return added;
}

ListEdit::ListEdit(QListWidget& list, Kind kind, QList<ListRun> runs)
    : m_list(list)
    , m_kind(kind)
    , m_runs(std::move(runs)) {}

void ListEdit::redo() {
    m_kind == Kind::Insert ? Insert() : Remove();
}

void ListEdit::undo() {
    m_kind == Kind::Insert ? Remove() : Insert();
}

// From the top down, each run's row being where it stands once the runs above it are back.
void ListEdit::Insert() {
    for (const ListRun& run : m_runs) {
        m_list.insertItems(run.row, run.names);
    }
    if (!m_runs.isEmpty()) {
        const ListRun& last = m_runs.back();
        m_list.setCurrentRow(last.row + static_cast<int>(last.names.size()) - 1,
                             QItemSelectionModel::ClearAndSelect);
    }
}

// From the bottom up, one removal a run: Ctrl+A and Delete is one removal.
void ListEdit::Remove() {
    for (auto run = m_runs.crbegin(); run != m_runs.crend(); ++run) {
        m_list.model()->removeRows(run->row, static_cast<int>(run->names.size()));
    }
    int index = m_runs.isEmpty() ? -1 : m_runs.front().row;
    if (index == m_list.count()) {
        --index;
    }
    m_list.setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

} // namespace texelary
