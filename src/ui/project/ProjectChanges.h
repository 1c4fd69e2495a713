#pragma once

// Whether the project has changes not saved, and the main window's title, which names the
// project's file and marks changes not saved with a star (the window's modified mark). The edits
// of the image list are kept here to be undone: undone back to where the project was saved, the
// list has no change to save.

#include <QString>
#include <QUndoStack>

class QWidget;

namespace texelary {

class ProjectChanges {
public:
    explicit ProjectChanges(QWidget& window);
    // The list's edits go without a word: the window they would retitle is going too.
    ~ProjectChanges();
    ProjectChanges(const ProjectChanges&) = delete;
    ProjectChanges& operator=(const ProjectChanges&) = delete;

    // A directory or a format changed, or the list did in a way that is not undone: the title
    // gets its star.
    void Changed();
    bool Unsaved() const { return m_changed || !m_listEdits.isClean(); }

    // The edits of the image list, to be undone and made again. One pushed marks a change as
    // Changed does; undone back to where the project was settled, it no longer does.
    QUndoStack& ListEdits() { return m_listEdits; }

    // The project now matches its file `fileName`, or is a new one (no name): nothing to save,
    // the title shown anew. The list's edits are kept, to be undone past this point.
    void Settled(const QString& fileName);

    // "stones.mm - Texelary" for a project with a file, else "Texelary"; with changes not saved
    // "stones.mm* - Texelary" and "Texelary*".
    void ShowTitle(const QString& fileName);

private:
    QWidget& m_window;
    bool m_changed = false; // in the directories or formats, or the list beyond undoing
    QUndoStack m_listEdits;
    QString m_fileName; // the one the title names
};

} // namespace texelary
