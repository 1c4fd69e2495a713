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
    QMessageBox::StandardButtons qtButtons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    if (buttons == BoxButtons::OkCancel) {
        qtButtons = QMessageBox::Ok | QMessageBox::Cancel;
    } else if (buttons == BoxButtons::YesNo) {
        qtButtons = QMessageBox::Yes | QMessageBox::No;
        defaultButton = QMessageBox::No;
    }
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    qtButtons);
    box.setInformativeText(AsSentence(detail));
    box.setDefaultButton(defaultButton);
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return BoxAnswer::Cancel;
    case QMessageBox::Yes:
        return BoxAnswer::Yes;
    case QMessageBox::No:
        return BoxAnswer::No;
    default:
        // Closing a question without answering it is No; any other box was acknowledged.
        return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok;
    }
}

void QtMessageBoxes::SetProgress(int /*position*/) {}

} // namespace texelary
