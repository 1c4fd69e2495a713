#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>

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

QWidget* BoxOwner() {
    QWidget* owner = QApplication::activeModalWidget();
    return owner != nullptr ? owner : QApplication::activeWindow();
}

void FitCaption(QMessageBox& box) {
    // The title bar's font and buttons belong to the window manager; the platform's title font
    // and the style's title bar height are the nearest measures the program has of them.
    const QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    const int captionWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle());
    const int buttonWidth = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    // The icon and three buttons, with a button's width of room on either side of the caption.
    const int width = captionWidth + 6 * buttonWidth;
    // QMessageBox sizes itself from its layout's minimum width each time it is shown.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid != nullptr) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
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
    } else if (buttons == BoxButtons::SaveDiscardCancel) {
        qtButtons = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
        defaultButton = QMessageBox::Save;
    }
    QWidget* owner = BoxOwner();
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    qtButtons, owner);
    box.setInformativeText(AsSentence(detail));
    // A window manager keeps a window that stays on top above every other; the box in front of
    // it must stay on top as well.
    if (owner != nullptr && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.setDefaultButton(defaultButton);
    FitCaption(box);
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return BoxAnswer::Cancel;
    case QMessageBox::Yes:
        return BoxAnswer::Yes;
    case QMessageBox::No:
        return BoxAnswer::No;
    case QMessageBox::Save:
        return BoxAnswer::Save;
    case QMessageBox::Discard:
        return BoxAnswer::Discard;
    default:
        // Closing a question without answering it is No, or Cancel where there is one; any other
        // box was acknowledged.
        if (buttons == BoxButtons::YesNo) {
            return BoxAnswer::No;
        }
        return buttons == BoxButtons::SaveDiscardCancel ? BoxAnswer::Cancel : BoxAnswer::Ok;
    }
}

void QtMessageBoxes::SetProgress(int /*position*/) {}

} // namespace texelary
