// The about box.

#include "WindowsTest.h"

namespace texelary::test {

void WindowsTest::AboutIsShownModally() {
    Session session;
    bool modal = false;
    session.Modals.Then([&](QDialog& about) {
        modal = about.isModal() && QApplication::activeModalWidget() == &about;
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        return kClosedByAction;
    });
    session.Item("AboutBtn").trigger();
    QCOMPARE(session.Modals.Shown, QStringList{"TAboutDialog"});
    QVERIFY(modal);
    QVERIFY(!session.Windows().AboutDialog->isVisible());
    QCOMPARE(session.Windows().AboutDialog->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
             QStringLiteral("Texelary ") + QString::fromLatin1(kVersion));
}

} // namespace texelary::test
