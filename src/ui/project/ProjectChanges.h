#pragma once

// Whether the project has changes not saved, and the main window's title, which names the
// project's file and marks changes not saved with a star (the window's modified mark).

#include <QString>

class QWidget;

namespace texelary {

class ProjectChanges {
public:
    explicit ProjectChanges(QWidget& window)
        : m_window(window) {}

    // The list, a directory or a format changed: the title gets its star.
    void Changed();
    bool Unsaved() const { return m_changed; }

    // The project now matches its file `fileName`, or is a new one (no name): nothing to save,
    // the title shown anew.
    void Settled(const QString& fileName);

    // "stones.mm - Texelary" for a project with a file, else "Texelary"; with changes not saved
    // "stones.mm* - Texelary" and "Texelary*".
    void ShowTitle(const QString& fileName);

private:
    QWidget& m_window;
    bool m_changed = false;
    QString m_fileName; // the one the title names
};

} // namespace texelary
