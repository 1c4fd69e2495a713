#pragma once

// One change to the main window's image list that Edit > Undo takes back and Edit > Redo makes
// again: names put in (Add..., a drop) or taken out (Delete).

#include <QList>
#include <QStringList>
#include <QUndoCommand>
#include <cstdint>

class QListWidget;

namespace texelary {

// Neighbouring rows of the image list: the first one's row and the names from there on.
struct ListRun {
    int row = 0;
    QStringList names;
};

// The rows `rows` of `list` (in any order) as runs of neighbours, each with its names.
QList<ListRun> RunsOfRows(const QListWidget& list, QList<int> rows);

// Those of `names` that are not in `list` yet, each once, in their order. Names are compared as
// the file system of `folder` (where the list's files are) compares them: in any case where it
// takes names that differ only in case for one file.
QStringList NamesNotListed(const QListWidget& list, const QStringList& names,
                           const QString& folder);

class ListEdit final : public QUndoCommand {
public:
    enum class Kind : std::uint8_t { Insert, Remove };

    // `runs` in ascending order of rows, each row where its names stand in the longer list (after
    // an insertion, before a removal), so that one list of runs serves both ways. The list outlives
    // the command (both are the main window's).
    ListEdit(QListWidget& list, Kind kind, QList<ListRun> runs);

    void redo() override;
    void undo() override;

private:
    // Inserting makes the last name inserted current; removing, the one that took the place of
    // the first removed, or the last one left.
    void Insert();
    void Remove();

    QListWidget& m_list;
    Kind m_kind;
    QList<ListRun> m_runs;
};

} // namespace texelary
