#pragma once

// The dialogs that ask for the name of one file: a project file to save or load, a wad or pak to
// write a run's textures into (or a compiled map whose textures a run replaces), a palette file.

#include <QString>
#include <QStringList>

class QWidget;

namespace texelary {

struct AppWindows;

// The palette chooser's name, by which it remembers its last folder.
inline constexpr const char* kPaletteDialog = "PaletteFileDialog";

// Shows a file dialog named `name` over `parent`, through the windows' modal seam, at `directory`,
// listing the files ending in one of `extensions` (without the dots, separated by spaces) and
// adding the first to a name typed without one. Each of `otherExtensions` is a further filter the
// user may pick instead, which then lists its files and adds its extension. Qt's own dialog, not
// the platform's, made for this use alone: a file dialog that stays alive watches its directory,
// and every texture a run then writes there would make it read the directory again. A file that is
// already there is not confirmed: the caller decides. Returns the chosen path, or an empty text
// when the dialog was cancelled; `directory` is left where the dialog was, and the chosen file's
// folder is kept as the dialog's last folder (see LastFolder).
QString RunFileNameDialog(AppWindows& windows, QWidget& parent, const char* name,
                          const QString& extensions, bool save, QString& directory,
                          const QStringList& otherExtensions = {});

} // namespace texelary
