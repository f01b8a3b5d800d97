#include "gui/dialogs/FMainKeyword.h"

#include "gui/dialogs/EnterKey.h"
#include "gui/widgets/Skin.h"
#include "platform/QStringBytes.h"
#include "workspace/DialogRules.h"
#include "workspace/WorkspaceUi.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorlith {

TfrmMainKeyword::TfrmMainKeyword(MessagePort& msgMain, QWidget* parent) : QDialog(parent), msgMain_(msgMain) {
    setObjectName(QStringLiteral("frmMainKeyword"));
    bsSkinStdLabel1 = new QLabel(QStringLiteral("Please type the main keyword(s) Eg: golf, soccer:"), this);
    bsSkinStdLabel1->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    bsSkinStdLabel1->setGeometry(13, 13, 292, 16);
    edtMainKeyword = new QLineEdit(this);
    edtMainKeyword->setObjectName(QStringLiteral("edtMainKeyword"));
    edtMainKeyword->setGeometry(13, 37, 280, 15);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(68, 67, 82, 21);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(157, 67, 82, 21);

    setTabOrder(edtMainKeyword, btnOk);
    setTabOrder(btnOk, btnCancel);
    connect(btnOk, &QPushButton::clicked, this, &TfrmMainKeyword::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    new EnterKey(edtMainKeyword, [this] { btnOkClick(); });

    MakeFixedDialog(*this, QStringLiteral("Main Keyword"), 309, 109);
    edtMainKeyword->setFocus();
}

void TfrmMainKeyword::btnOkClick() {
    const std::string keyword = ToBytes(edtMainKeyword->text());
    if (const auto refusal = MainKeywordRefusal(keyword)) {
        msgMain_.ShowMessage(MessageKind::Information, *refusal, MessageButtons::Ok);
        return;
    }
    accept();
}

std::string TfrmMainKeyword::Keyword() const {
    return ToBytes(edtMainKeyword->text());
}

} // namespace vorlith
