#pragma once

#include "workspace/WorkspaceUi.h"

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlith {

class WebView;

// "Security image": shows the suggestion service's challenge image and takes the characters.
// Enter does not press Ok and Escape does not close it; the frame's close control is Cancel.
class TfrmCaptcha : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCaptcha(ChallengePrompt prompt, QWidget* parent = nullptr);

    // The answer box's text, however the window closed.
    std::string Password() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void btnOkClick();
    void btnCancelClick();
    void bsSkinButton1Click();

    ChallengePrompt prompt_;
    QLabel* bsSkinStdLabel2;
    WebView* EmbeddedWB1;
    QLineEdit* edtPassword;
    QPushButton* bsSkinButton1;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

} // namespace vorlith
