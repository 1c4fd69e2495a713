#include "ui/MessageBoxes.h"

#include <QMessageBox>

namespace texelary {

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Exclamation:
        return QMessageBox::Warning;
    case BoxIcon::Stop:
        break;
    }
    return QMessageBox::Critical;
}

} // namespace

QString AsSentence(const std::string& detail) {
    QString sentence = QString::fromStdString(detail);
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
        if (!sentence.endsWith(QLatin1Char('.'))) {
            sentence += QLatin1Char('.');
        }
    }
    return sentence;
}

BoxAnswer QtMessageBoxes::ShowMessage(const std::string& text, const std::string& caption,
                                      BoxButtons buttons, BoxIcon icon, const std::string& detail) {
    const QMessageBox::StandardButtons qtButtons =
        buttons == BoxButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                        : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    qtButtons);
    box.setInformativeText(AsSentence(detail));
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Cancel ? BoxAnswer::Cancel : BoxAnswer::Ok;
}

void QtMessageBoxes::SetProgress(int /*position*/) {}

} // namespace texelary
