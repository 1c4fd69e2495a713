#include "ui/FileNameDialog.h"

#include "ui/AppWindows.h"

#include <QFileDialog>

namespace texelary {

QString RunFileNameDialog(AppWindows& windows, QWidget& parent, const char* name,
                          const QString& extension, bool save, QString& directory) {
    QFileDialog dialog(&parent);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QString mask = QStringLiteral("*.") + extension;
    dialog.setNameFilter(mask + QStringLiteral(" (") + mask + QStringLiteral(")"));
    dialog.setDefaultSuffix(extension);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    dialog.setDirectory(directory);
    const bool accepted = windows.RunModal(dialog) == QDialog::Accepted;
    directory = dialog.directory().absolutePath();
    return accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace texelary
