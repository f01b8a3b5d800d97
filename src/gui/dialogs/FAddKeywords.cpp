#include "gui/dialogs/FAddKeywords.h"

#include "gui/dialogs/EnterKey.h"
#include "gui/widgets/Skin.h"
#include "platform/QStringBytes.h"
#include "workspace/DialogRules.h"
#include "workspace/WorkspaceUi.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorlith {

namespace {
QString OpenOneTextFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
    // Qt's own dialog, so the skin draws it; it only accepts an existing file.
    return QFileDialog::getOpenFileName(parent, title, folder, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
}
} // namespace

TfrmAddKeywords::TfrmAddKeywords(MessagePort& msgMain, QString programFolder, QWidget* parent)
    : QDialog(parent), bsSkinOpenDialog1(OpenOneTextFile), msgMain_(msgMain),
      browseFolder_(std::move(programFolder)) {
    setObjectName(QStringLiteral("frmAddKeywords"));
    bsSkinStdLabel1 = new QLabel(QStringLiteral("Please type keyword(s) Eg: golf, soccer:"), this);
    bsSkinStdLabel1->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    bsSkinStdLabel1->setGeometry(9, 13, 239, 16);
    edtAddKeyword = new QLineEdit(this);
    edtAddKeyword->setObjectName(QStringLiteral("edtAddKeyword"));
    edtAddKeyword->setGeometry(9, 33, 326, 15);
    bsSkinStdLabel2 = new QLabel(
        QStringLiteral("Or add a file with a keyword list (one group of keywords per line):"), this);
    bsSkinStdLabel2->setObjectName(QStringLiteral("bsSkinStdLabel2"));
    bsSkinStdLabel2->setGeometry(9, 59, 378, 16);
    edtList = new QLineEdit(this);
    edtList->setObjectName(QStringLiteral("edtList"));
    edtList->setGeometry(9, 78, 326, 15);
    btnBrowse = new QPushButton(QStringLiteral("Browse"), this);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setGeometry(344, 77, 63, 21);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(102, 107, 82, 21);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(190, 107, 82, 21);

    // Import options, in the strip under the buttons; off by default so lines go in as they stand.
    chkTrim = new QCheckBox(QStringLiteral("Trim"), this);
    chkTrim->setObjectName(QStringLiteral("chkTrim"));
    chkTrim->setGeometry(9, 129, 60, 16);
    chkSkipBlank = new QCheckBox(QStringLiteral("Skip blank lines"), this);
    chkSkipBlank->setObjectName(QStringLiteral("chkSkipBlank"));
    chkSkipBlank->setGeometry(75, 129, 120, 16);
    chkSkipExisting = new QCheckBox(QStringLiteral("Skip keywords already listed"), this);
    chkSkipExisting->setObjectName(QStringLiteral("chkSkipExisting"));
    chkSkipExisting->setGeometry(200, 129, 200, 16);
    chkTrim->setToolTip(QStringLiteral("Remove spaces and control characters from both ends of every line"));
    chkSkipExisting->setToolTip(QStringLiteral("Compared as the Keywords column sorts, case ignored"));

    setTabOrder(edtAddKeyword, btnOk);
    setTabOrder(btnOk, btnCancel);
    setTabOrder(btnCancel, edtList);
    setTabOrder(edtList, btnBrowse);
    setTabOrder(btnBrowse, chkTrim);
    setTabOrder(chkTrim, chkSkipBlank);
    setTabOrder(chkSkipBlank, chkSkipExisting);
    connect(btnOk, &QPushButton::clicked, this, &TfrmAddKeywords::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnBrowse, &QPushButton::clicked, this, &TfrmAddKeywords::btnBrowseClick);
    new EnterKey(edtAddKeyword, [this] { btnOkClick(); });
    new EnterKey(edtList, [this] { btnOkClick(); });

    MakeFixedDialog(*this, QStringLiteral("Enter Keyword(s)"), 426, 147);
    edtAddKeyword->setFocus();
}

void TfrmAddKeywords::btnOkClick() {
    const std::string keyword = ToBytes(edtAddKeyword->text());
    const std::string listFile = ToBytes(edtList->text());
    if (const auto refusal = AddKeywordsRefusal(keyword, listFile)) {
        msgMain_.ShowMessage(MessageKind::Information, *refusal, MessageButtons::Ok);
        return;
    }
    accept();
}

void TfrmAddKeywords::btnBrowseClick() {
    const QString chosen = bsSkinOpenDialog1(this, QStringLiteral("Open file"), browseFolder_,
                                             QStringLiteral("Text files (*.txt)"));
    if (chosen.isEmpty())
        return;
    edtList->setText(chosen);
    browseFolder_ = QFileInfo(chosen).absolutePath();
}

std::string TfrmAddKeywords::Keyword() const {
    return ToBytes(edtAddKeyword->text());
}

std::string TfrmAddKeywords::ListFile() const {
    return ToBytes(edtList->text());
}

ImportOptions TfrmAddKeywords::Options() const {
    return {chkTrim->isChecked(), chkSkipBlank->isChecked(), chkSkipExisting->isChecked()};
}

} // namespace vorlith
