#pragma once

// The about box: the about picture in a sunken panel and three credit lines. Nothing in it
// changes between uses.

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutDialog;
}

namespace texelary {

class TAboutDialog final : public QDialog {
    Q_OBJECT
public:
    TAboutDialog();
    ~TAboutDialog() override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void Button1Click();

private:
    std::unique_ptr<Ui::TAboutDialog> m_ui;
};

} // namespace texelary
