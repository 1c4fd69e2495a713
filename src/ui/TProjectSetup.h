#pragma once

// The project setup dialog: where the project's two directories and two formats live while the
// program runs. Every other window reads them from these four controls when it needs them, so a
// change made here is in effect at once.

#include <QDialog>
#include <memory>

class QComboBox;
class QLineEdit;

namespace Ui {
class TProjectSetup;
}

namespace texelary {

struct AppWindows;

class TProjectSetup final : public QDialog {
    Q_OBJECT
public:
    explicit TProjectSetup(AppWindows& windows);
    ~TProjectSetup() override;

    QLineEdit& InputPath() const;
    QLineEdit& OutputPath() const;
    QComboBox& ConvFrom() const;
    QComboBox& ConvTo() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void BmpDirBtnClick();
    void Button1Click();

private:
    std::unique_ptr<Ui::TProjectSetup> m_ui;
    AppWindows& m_windows;
};

} // namespace texelary
