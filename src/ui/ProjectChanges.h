#pragma once

// Whether the project has changes not saved, and the main window's title, which names the
// project's file.

#include <QString>

class QWidget;

namespace texelary {

class ProjectChanges {
public:
    explicit ProjectChanges(QWidget& window)
        : m_window(window) {}

    // The list, a directory or a format changed.
    void Changed() { m_changed = true; }
    bool Unsaved() const { return m_changed; }

    // The project now matches its file `fileName`, or is a new one (no name): nothing to save,
    // the title shown anew.
    void Settled(const QString& fileName);

    // "stones.mm - Texelary" for a project with a file, else "Texelary".
    void ShowTitle(const QString& fileName);

private:
    QWidget& m_window;
    bool m_changed = false;
};

} // namespace texelary
