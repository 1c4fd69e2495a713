#include "ui/project/ProjectChanges.h"

#include <QFileInfo>
#include <QWidget>

namespace texelary {

ProjectChanges::ProjectChanges(QWidget& window)
    : m_window(window) {
    QObject::connect(&m_listEdits, &QUndoStack::cleanChanged, &m_listEdits,
                     [this] { ShowTitle(m_fileName); });
}

ProjectChanges::~ProjectChanges() {
    m_listEdits.blockSignals(true);
}

void ProjectChanges::Changed() {
    if (!m_changed) {
        m_changed = true;
        ShowTitle(m_fileName);
    }
}

void ProjectChanges::Settled(const QString& fileName) {
    m_changed = false;
    m_listEdits.setClean();
    ShowTitle(fileName);
}

// Qt shows the star where the title holds "[*]"; a "[*]" in the file's own name is doubled, which
// Qt shows as it stands.
void ProjectChanges::ShowTitle(const QString& fileName) {
    m_fileName = fileName;
    const QString mark = QStringLiteral("[*]");
    QString name = QFileInfo(fileName).fileName();
    name.replace(mark, mark + mark);
    m_window.setWindowTitle(fileName.isEmpty() ? QStringLiteral("Texelary") + mark
                                               : name + mark + QStringLiteral(" - Texelary"));
    m_window.setWindowModified(Unsaved());
}

} // namespace texelary
