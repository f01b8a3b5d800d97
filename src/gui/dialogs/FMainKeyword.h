#pragma once

#include <QDialog>
#include <string>

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

    // The keyword typed, as bytes.
    std::string Keyword() const;

    void btnOkClick();

private:
    QLabel* bsSkinStdLabel1;
    QLineEdit* edtMainKeyword;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    MessagePort& msgMain_;
};

} // namespace vorlith
