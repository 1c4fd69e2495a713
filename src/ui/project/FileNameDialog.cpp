#include "ui/project/FileNameDialog.h"

#include "ui/app/AppWindows.h"

#include <QFileDialog>

namespace texelary {

QString RunFileNameDialog(AppWindows& windows, QWidget& parent, const char* name,
                          const QString& extensions, bool save, QString& directory) {
    QFileDialog dialog(&parent);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList suffixes = extensions.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList masks;
    for (const QString& suffix : suffixes) {
        masks.append(QStringLiteral("*.") + suffix);
    }
    const QString mask = masks.join(QLatin1Char(' '));
    dialog.setNameFilter(mask + QStringLiteral(" (") + mask + QStringLiteral(")"));
    dialog.setDefaultSuffix(suffixes.value(0));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    dialog.setDirectory(directory);
    const bool accepted = windows.RunModal(dialog) == QDialog::Accepted;
    directory = dialog.directory().absolutePath();
    return accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace texelary
