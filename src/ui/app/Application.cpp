#include "ui/app/Application.h"

#include "ui/app/MessageBoxes.h"

#include <exception>

namespace texelary {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv) {
    // The name every box and the main window show; the program file's name is lower case.
    setApplicationName(QStringLiteral("Texelary"));
    setDesktopFileName(QStringLiteral("texelary"));
}

void Application::ReportError(const QString& text, const QString& detail) {
    if (m_boxes != nullptr) {
        m_boxes->ShowMessage(text.toStdString(), applicationDisplayName().toStdString(),
                             WindowButtons::Ok, BoxIcon::Stop, detail.toStdString());
    }
}

void ReportApplicationError(const QString& text, const QString& detail) {
    if (auto* application = qobject_cast<Application*>(QCoreApplication::instance())) {
        application->ReportError(text, detail);
    }
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportError(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace texelary
