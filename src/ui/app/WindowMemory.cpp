#include "ui/app/WindowMemory.h"

#include "ui/app/AppWindows.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMainWindow>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace texelary {

namespace {

// The program settings' organisation and application names, so that one file holds them all.
const QString kOwner = QStringLiteral("Texelary");

const QString kMainGeometry = QStringLiteral("Windows/Main");
// The main window's normal place, kept beside Qt's own record so that the screen it lands on can
// be checked before the record is restored.
const QString kMainPlace = QStringLiteral("Windows/MainPlace");

QString ChooserKey(const char* name) {
    return QStringLiteral("Windows/") + QString::fromLatin1(name);
}

QString FolderKey(const char* name) {
    return QStringLiteral("Folders/") + QString::fromLatin1(name);
}

} // namespace

void PlaceMainWindow(QWidget& main) {
    const QSettings store(kOwner, kOwner);
    const QRect place = store.value(kMainPlace).toRect();
    if (place.isValid() && QGuiApplication::screenAt(place.center()) != nullptr &&
        main.restoreGeometry(store.value(kMainGeometry).toByteArray())) {
        return;
    }
    CentreOnScreen(main);
}

void KeepMainWindowPlace(const QWidget& main) {
    QSettings store(kOwner, kOwner);
    store.setValue(kMainGeometry, main.saveGeometry());
    const QRect normal =
        main.isMaximized() || main.isFullScreen() ? main.normalGeometry() : main.geometry();
    store.setValue(kMainPlace, normal);
}

QSize ChooserSize(const char* name, QSize least) {
    const QSettings store(kOwner, kOwner);
    return store.value(ChooserKey(name), least).toSize().expandedTo(least);
}

void KeepChooserSize(const char* name, const QWidget& chooser) {
    const QSize size = chooser.isMaximized() ? chooser.normalGeometry().size() : chooser.size();
    if (size.isValid()) {
        QSettings(kOwner, kOwner).setValue(ChooserKey(name), size);
    }
}

QString LastFolder(const char* name) {
    const QString folder = QSettings(kOwner, kOwner).value(FolderKey(name)).toString();
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QString();
}

void KeepLastFolder(const char* name, const QString& folder) {
    QSettings(kOwner, kOwner).setValue(FolderKey(name), folder);
}

QScreen* MainWindowScreen() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* window : windows) {
        if (qobject_cast<const QMainWindow*>(window) != nullptr && window->isVisible()) {
            QScreen* under = QGuiApplication::screenAt(window->frameGeometry().center());
            return under != nullptr ? under : window->screen();
        }
    }
    return nullptr;
}

} // namespace texelary
