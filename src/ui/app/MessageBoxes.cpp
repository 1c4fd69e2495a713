#include "ui/app/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
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

namespace {

// The box's own "Show Details..." button, when it has details, is given Alt+D as every other
// control of the windows has an Alt letter.
void GiveDetailsAKey(QMessageBox& box) {
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole &&
            button->text() == QMessageBox::tr("Show Details...")) {
            button->setText(QStringLiteral("Show &Details..."));
        }
    }
}

// The buttons of a box, and the one Enter presses.
struct QtButtons {
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
};

QtButtons ToQtButtons(WindowButtons buttons) {
    switch (buttons) {
    case WindowButtons::OkCancel:
        return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};
    case WindowButtons::YesNo:
        return {QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    case WindowButtons::SaveDiscardCancel:
        return {QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save};
    case WindowButtons::Ok:
    case WindowButtons::OkSaveList: // its own button is added to the box
        break;
    }
    return {};
}

WindowAnswer FromQtAnswer(int pressed, WindowButtons buttons) {
    switch (pressed) {
    case QMessageBox::Cancel:
        return WindowAnswer::Cancel;
    case QMessageBox::Yes:
        return WindowAnswer::Yes;
    case QMessageBox::No:
        return WindowAnswer::No;
    case QMessageBox::Save:
        return WindowAnswer::Save;
    case QMessageBox::Discard:
        return WindowAnswer::Discard;
    default:
        // Closing a question without answering it is No, or Cancel where there is one; any other
        // box was acknowledged.
        if (buttons == WindowButtons::YesNo) {
            return WindowAnswer::No;
        }
        return buttons == WindowButtons::SaveDiscardCancel ? WindowAnswer::Cancel
                                                           : WindowAnswer::Ok;
    }
}

} // namespace

WindowAnswer ShowBox(MessageBoxes& boxes, const std::string& text, BoxIcon icon,
                     WindowButtons buttons, const std::string& detail) {
    return boxes.ShowMessage(text, kMessageCaption, buttons, icon, detail);
}

WindowButtons WindowButtonsOf(BoxButtons buttons) {
    return buttons == BoxButtons::OkCancel ? WindowButtons::OkCancel : WindowButtons::Ok;
}

BoxAnswer RunAnswerOf(WindowAnswer answer) {
    return answer == WindowAnswer::Cancel ? BoxAnswer::Cancel : BoxAnswer::Ok;
}

WindowAnswer QtMessageBoxes::ShowMessage(const std::string& text, const std::string& caption,
                                         WindowButtons buttons, BoxIcon icon,
                                         const std::string& detail) {
    return ShowDetailedMessage(text, caption, buttons, icon, detail, {});
}

WindowAnswer QtMessageBoxes::ShowDetailedMessage(const std::string& text,
                                                 const std::string& caption, WindowButtons buttons,
                                                 BoxIcon icon, const std::string& detail,
                                                 const std::string& details) {
    const QtButtons qtButtons = ToQtButtons(buttons);
    QWidget* owner = BoxOwner();
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    qtButtons.buttons, owner);
    box.setInformativeText(AsSentence(detail));
    box.setDetailedText(QString::fromStdString(details));
    GiveDetailsAKey(box);
    const QAbstractButton* saveList =
        buttons == WindowButtons::OkSaveList
            ? box.addButton(QStringLiteral("&Save list..."), QMessageBox::ActionRole)
            : nullptr;
    // A window manager keeps a window that stays on top above every other; the box in front of
    // it must stay on top as well.
    if (owner != nullptr && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.setDefaultButton(qtButtons.defaultButton);
    FitCaption(box);
    const int pressed = box.exec();
    if (saveList != nullptr && box.clickedButton() == saveList) {
        return WindowAnswer::SaveList;
    }
    return FromQtAnswer(pressed, buttons);
}

} // namespace texelary
