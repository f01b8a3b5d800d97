#include "gui/FCaptcha.h"

#include "gui/widgets/Skin.h"
#include "gui/widgets/WebView.h"
#include "harvest/Challenge.h"
#include "platform/QStringBytes.h"

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

TfrmCaptcha::TfrmCaptcha(ChallengePrompt prompt, QWidget* parent)
    : QDialog(parent), prompt_(std::move(prompt)) {
    setObjectName(QStringLiteral("frmCaptcha"));
    setWindowTitle(QStringLiteral("Security image"));
    // A resizable frame with a close control only; the controls keep their places.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    bsSkinStdLabel2 = new QLabel(ToQString(ChallengeSentence), this);
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

std::string TfrmCaptcha::Password() const {
    return ToBytes(edtPassword->text());
}

void TfrmCaptcha::FormShow() {
    EmbeddedWB1->Navigate(ToQString(prompt_.ImageAddress));
}

void TfrmCaptcha::btnOkClick() {
    // The core's rule decides; a refused answer keeps the window open.
    if (prompt_.AcceptAnswer && !prompt_.AcceptAnswer(Password()))
        return;
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
