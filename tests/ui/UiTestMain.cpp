// Runs every window test class under the program's own application object, so that the default
// error report is part of what is tested.

#include "ui/app/Application.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace texelary::test {
int RunWindowsTests(int argc, char** argv);
int RunRunTests(int argc, char** argv);
int RunLayoutTests(int argc, char** argv);
int RunTextureBrowserTests(int argc, char** argv);
int RunEntryActionsTests(int argc, char** argv);
} // namespace texelary::test

int main(int argc, char** argv) {
    texelary::Application application(argc, argv);
    // The tests show and hide windows one after another; none of that may end the application.
    QApplication::setQuitOnLastWindowClosed(false);
    // The program's settings go to a directory of the tests' own, never the user's.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    int failures = 0;
    failures += texelary::test::RunWindowsTests(argc, argv);
    failures += texelary::test::RunRunTests(argc, argv);
    failures += texelary::test::RunLayoutTests(argc, argv);
    failures += texelary::test::RunTextureBrowserTests(argc, argv);
    failures += texelary::test::RunEntryActionsTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
