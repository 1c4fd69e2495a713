#include "ui/project/FileNameDialog.h"

#include "ui/app/AppWindows.h"

#include <QFileDialog>
#include <algorithm>

namespace texelary {

namespace {

// "*.wad *.lmp (*.wad *.lmp)" for "wad lmp".
QString NameFilter(const QStringList& suffixes) {
    QStringList masks;
    for (const QString& suffix : suffixes) {
        masks.append(QStringLiteral("*.") + suffix);
    }
    const QString mask = masks.join(QLatin1Char(' '));
    return mask + QStringLiteral(" (") + mask + QStringLiteral(")");
}

} // namespace

QString RunFileNameDialog(AppWindows& windows, QWidget& parent, const char* name,
                          const QString& extensions, bool save, QString& directory,
                          const QStringList& otherExtensions) {
    QFileDialog dialog(&parent);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList suffixes = extensions.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList filters{NameFilter(suffixes)};
    QStringList addedSuffixes{suffixes.value(0)};
    for (const QString& other : otherExtensions) {
        filters.append(NameFilter({other}));
        addedSuffixes.append(other);
    }
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(addedSuffixes[0]);
    // A name typed while another filter is picked takes that filter's extension.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, filters, addedSuffixes](const QString& filter) {
                         dialog.setDefaultSuffix(
                             addedSuffixes.value(std::max<qsizetype>(0, filters.indexOf(filter))));
                     });
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    dialog.setDirectory(directory);
    const bool accepted = windows.RunModal(dialog) == QDialog::Accepted;
    directory = dialog.directory().absolutePath();
    return accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace texelary
