#include "ui/ProjectChanges.h"

#include <QFileInfo>
#include <QWidget>

namespace texelary {

void ProjectChanges::Settled(const QString& fileName) {
    m_changed = false;
    ShowTitle(fileName);
}

void ProjectChanges::ShowTitle(const QString& fileName) {
    m_window.setWindowTitle(fileName.isEmpty()
                                ? QStringLiteral("Texelary")
                                : QFileInfo(fileName).fileName() + QStringLiteral(" - Texelary"));
}

} // namespace texelary
