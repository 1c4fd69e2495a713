#include "ui/ProjectChanges.h"

#include <QFileInfo>
#include <QWidget>

namespace texelary {

void ProjectChanges::Changed() {
    if (!m_changed) {
        m_changed = true;
        ShowTitle(m_fileName);
    }
}

void ProjectChanges::Settled(const QString& fileName) {
    m_changed = false;
    ShowTitle(fileName);
}

void ProjectChanges::ShowTitle(const QString& fileName) {
    m_fileName = fileName;
    const QString star = m_changed ? QStringLiteral("*") : QString();
    m_window.setWindowTitle(fileName.isEmpty() ? QStringLiteral("Texelary") + star
                                               : QFileInfo(fileName).fileName() + star +
                                                     QStringLiteral(" - Texelary"));
}

} // namespace texelary
