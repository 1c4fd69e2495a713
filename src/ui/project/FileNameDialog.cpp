#include "ui/project/FileNameDialog.h"

#include "ui/app/AppWindows.h"
#include "ui/app/WindowMemory.h"

#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>
#include <string_view>

namespace texelary {

namespace {

// What the files of an extension are, for the list of file types.
struct FileKind {
    const char* suffix; // the first of the filter's
    const char* words;
};
constexpr FileKind kFileKinds[] = {
    {"mm", "Texelary projects"},
    {"wad", "Wads"},
    {"bsp", "Compiled maps"},
    {"pak", "Paks"},
    {"pcx", "Palettes and pictures with one"},
};

// What each dialog chooses, as its title says; the project's own keep the platform's "Open" and
// "Save As".
struct DialogTitle {
    const char* name;
    const char* title;
};
constexpr DialogTitle kTitles[] = {
    {"SaveDialogWad", "Choose the wad to write, or the map whose textures to replace"},
    {"SaveDialogPak", "Choose the pak to write"},
    {"PaletteFileDialog", "Choose the palette"},
};

// "Wads (*.wad)" for "wad", "Palettes and pictures with one (*.pcx *.lmp ...)" for "pcx lmp ...".
QString NameFilter(const QStringList& suffixes) {
    QStringList masks;
    for (const QString& suffix : suffixes) {
        masks.append(QStringLiteral("*.") + suffix);
    }
    const QString mask = masks.join(QLatin1Char(' '));
    QString words = mask;
    for (const FileKind& kind : kFileKinds) {
        if (suffixes.value(0) == QLatin1String(kind.suffix)) {
            words = QString::fromLatin1(kind.words);
        }
    }
    return words + QStringLiteral(" (") + mask + QStringLiteral(")");
}

} // namespace

QString RunFileNameDialog(AppWindows& windows, QWidget& parent, const char* name,
                          const QString& extensions, bool save, QString& directory,
                          const QStringList& otherExtensions) {
    QFileDialog dialog(&parent);
    dialog.setObjectName(QString::fromLatin1(name));
    for (const DialogTitle& title : kTitles) {
        if (std::string_view(name) == title.name) {
            dialog.setWindowTitle(QString::fromLatin1(title.title));
        }
    }
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
    if (!accepted) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().value(0);
    KeepLastFolder(name, QFileInfo(chosen).absolutePath());
    return chosen;
}

} // namespace texelary
