#pragma once

// The application object with the program's default error report: a box whose caption is the
// application's display name, "Texelary", as in every other box. Handlers that fail (the
// preview's bitmap loader rejecting a file, a chooser's directory that can't be read) call it
// themselves through ReportApplicationError; an exception that still escapes an event handler is
// caught in notify and shown the same way, and the event loop then goes on with the next event.

#include <QApplication>
#include <QString>

namespace texelary {

class MessageBoxes;

class Application final : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // Where the error report's box is shown; none shows nothing. Not owned.
    void SetBoxes(MessageBoxes* boxes) { m_boxes = boxes; }

    // Shows `text` with the error icon, one OK button and the application's display name as
    // caption; `detail`, when given, says why, as the box's informative text.
    void ReportError(const QString& text, const QString& detail = {});

    bool notify(QObject* receiver, QEvent* event) override;

private:
    MessageBoxes* m_boxes = nullptr;
};

// The running Application's error report; nothing is shown when the program runs without one.
void ReportApplicationError(const QString& text, const QString& detail = {});

} // namespace texelary
