#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlith {

class MessagePort;
class WebView;

// "Security image": shows the suggestion service's challenge image and takes the characters.
// Enter does not press Ok and Escape does not close it; the frame's close control is Cancel.
class TfrmCaptcha : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCaptcha(MessagePort& msgMain, QWidget* parent = nullptr);

    std::string ChallengePage;
    std::string ChallengeRandom;
    std::string ChallengeSeed;
    std::string ChallengeImageURL;

    QLabel* bsSkinStdLabel2;
    WebView* EmbeddedWB1;
    QLineEdit* edtPassword;
    QPushButton* bsSkinButton1;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    void FormShow();
    void ParseChallenge();
    void btnOkClick();
    void btnCancelClick();
    void bsSkinButton1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    MessagePort& msgMain_;
};

} // namespace vorlith
