#include "harvest/FCaptcha.h"

#include "harvest/Challenge.h"
#include "ui/Skin.h"
#include "ui/WebView.h"
#include "workspace/WorkspaceUi.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorlith {

namespace {
QPushButton* DialogButton(QWidget* parent, const char* name, const char* caption, int left) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 171, 82, 21);
    // No default button: Enter in the answer box must not press Ok.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}
} // namespace

TfrmCaptcha::TfrmCaptcha(MessagePort& msgMain, QWidget* parent) : QDialog(parent), msgMain_(msgMain) {
    setObjectName(QStringLiteral("frmCaptcha"));
    setWindowTitle(QStringLiteral("Security image"));
    // A resizable frame with a close control only; the controls keep their places.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    bsSkinStdLabel2 = new QLabel(
        QString::fromLatin1(ChallengeSentence.data(), static_cast<qsizetype>(ChallengeSentence.size())),
        this);
    bsSkinStdLabel2->setObjectName(QStringLiteral("bsSkinStdLabel2"));
    bsSkinStdLabel2->setGeometry(13, 7, 238, 16);
    EmbeddedWB1 = new WebView(this);
    EmbeddedWB1->setObjectName(QStringLiteral("EmbeddedWB1"));
    EmbeddedWB1->setGeometry(13, 26, 280, 111);
    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setGeometry(13, 148, 280, 15);
    bsSkinButton1 = DialogButton(this, "bsSkinButton1", "Refresh", 15);
    btnOk = DialogButton(this, "btnOk", "Ok", 127);
    btnCancel = DialogButton(this, "btnCancel", "Cancel", 216);

    setTabOrder(EmbeddedWB1, edtPassword);
    setTabOrder(edtPassword, bsSkinButton1);
    setTabOrder(bsSkinButton1, btnOk);
    setTabOrder(btnOk, btnCancel);
    connect(bsSkinButton1, &QPushButton::clicked, this, &TfrmCaptcha::bsSkinButton1Click);
    connect(btnOk, &QPushButton::clicked, this, &TfrmCaptcha::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmCaptcha::btnCancelClick);

    resize(310, 209);
    CenterOnScreen(*this);
    // The user types at once; Tab still starts from the image.
    edtPassword->setFocus();
}

void TfrmCaptcha::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmCaptcha::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TfrmCaptcha::FormShow() {
    ParseChallenge();
}

void TfrmCaptcha::ParseChallenge() {
    ChallengeFields fields = vorlith::ParseChallenge(ChallengePage);
    ChallengeRandom = std::move(fields.ChallengeRandom);
    ChallengeSeed = std::move(fields.ChallengeSeed);
    ChallengeImageURL = std::move(fields.ChallengeImageURL);
    EmbeddedWB1->Navigate(
        QString::fromLocal8Bit(ChallengeImageURL.data(), static_cast<qsizetype>(ChallengeImageURL.size())));
}

void TfrmCaptcha::btnOkClick() {
    if (edtPassword->text().isEmpty()) {
        msgMain_.ShowMessage(MessageKind::Information, EmptyPasswordMessage, MessageButtons::Ok);
        return;
    }
    done(mrOk);
}

void TfrmCaptcha::btnCancelClick() {
    done(mrCancel);
}

void TfrmCaptcha::bsSkinButton1Click() {
    // A failed reload shows its text in the view; nothing else is told.
    EmbeddedWB1->Refresh();
}

} // namespace vorlith
