#include "gui/dialogs/FSelectSearch.h"

#include "gui/widgets/Skin.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>

namespace vorlith {

TfrmSelSearch::TfrmSelSearch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelSearch"));
    bsSkinCheckRadioBox1 = new QRadioButton(
        QStringLiteral("Precise Search Eg: \"golf clubs\" Should appear the word in the same order."), this);
    bsSkinCheckRadioBox1->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    bsSkinCheckRadioBox1->setGeometry(11, 15, 397, 20);
    bsSkinCheckRadioBox2 = new QRadioButton(
        QStringLiteral("Broad Search Eg: golf clubs, any word no matther the order or position in the text."),
        this);
    bsSkinCheckRadioBox2->setObjectName(QStringLiteral("bsSkinCheckRadioBox2"));
    bsSkinCheckRadioBox2->setGeometry(11, 41, 446, 20);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(161, 75, 81, 21);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(251, 75, 82, 21);

    // One exclusive group: a choice can only be deselected by selecting the other.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(bsSkinCheckRadioBox1);
    group->addButton(bsSkinCheckRadioBox2);
    bsSkinCheckRadioBox1->setChecked(true);

    setTabOrder(btnOk, btnCancel);
    setTabOrder(btnCancel, bsSkinCheckRadioBox1);
    setTabOrder(bsSkinCheckRadioBox1, bsSkinCheckRadioBox2);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    MakeFixedDialog(*this, QStringLiteral("Select Search Type"), 480, 114);
    btnOk->setFocus();
}

bool TfrmSelSearch::PreciseSelected() const {
    return bsSkinCheckRadioBox1->isChecked();
}

} // namespace vorlith
