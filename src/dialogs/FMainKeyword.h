#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlith {

class MessagePort;

// "Main Keyword": asks for the keyword that harvesting sends to the suggestion service.
class TfrmMainKeyword : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMainKeyword(MessagePort& msgMain, QWidget* parent = nullptr);

    QLabel* bsSkinStdLabel1;
    QLineEdit* edtMainKeyword;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    void btnOkClick();

private:
    MessagePort& msgMain_;
};

} // namespace vorlith
