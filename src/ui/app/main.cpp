// The texelary program: creates the seven windows, shows the main window and runs the event loop
// until the main window is closed. Of its command line it reads --version, or the path of a
// project file to load at start (as a file manager passes it); of settings only its own six
// (header fields kept, mip levels, dithering, the transparent index, full-bright colours, the
// palette file), which the setup dialog reads and saves, and what the windows remember (places,
// sizes, the file dialogs' folders, the recent projects).

#include "base/Version.h"
#include "ui/app/AppWindows.h"
#include "ui/app/Application.h"
#include "ui/app/MessageBoxes.h"
#include "ui/app/TMain.h"

#include <QFileInfo>
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so that it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("texelary %s\n", texelary::kVersion);
        return 0;
    }
    texelary::Application application(argc, argv);
    texelary::QtMessageBoxes boxes;
    application.SetBoxes(&boxes);
    try {
        texelary::WindowSet windows(boxes);
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/texelary.png")));
        windows.Windows().Main->show();
        const QStringList arguments = QCoreApplication::arguments();
        if (arguments.size() > 1) {
            windows.Windows().Main->OpenProjectFile(QFileInfo(arguments.at(1)).absoluteFilePath());
        }
        QApplication::exec();
    } catch (const std::exception& error) {
        // An error while starting is reported like any other; the program then ends.
        application.ReportError(QString::fromUtf8(error.what()));
    }
    return 0;
}
