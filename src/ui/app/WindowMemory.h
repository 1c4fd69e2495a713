#pragma once

// What the windows remember between runs of the program, in the user's configuration beside the
// program settings: the main window's size and place, the two choosers' sizes and the folder each
// file dialog last chose from. Windows the program places itself open centred on the screen that
// holds the main window.

#include <QSize>
#include <QString>

class QScreen;
class QWidget;

namespace texelary {

// Puts the main window where it was when it last closed, when that place is on a screen there is
// now; otherwise centred on its screen at the size it has (its least size, at first).
void PlaceMainWindow(QWidget& main);
// Keeps the main window's size, place and maximised state for the next start.
void KeepMainWindowPlace(const QWidget& main);

// The size chooser `name` last had, never less than `least` (its first size); `least` when none
// was kept.
QSize ChooserSize(const char* name, QSize least);
// Keeps the chooser's size as it is when not maximised.
void KeepChooserSize(const char* name, const QWidget& chooser);

// The folder the file dialog `name` last chose a file from, or an empty text when none was kept or
// the folder is gone.
QString LastFolder(const char* name);
void KeepLastFolder(const char* name, const QString& folder);

// The screen that holds the main window, where the program's other windows open; none before the
// main window is shown.
QScreen* MainWindowScreen();

} // namespace texelary
