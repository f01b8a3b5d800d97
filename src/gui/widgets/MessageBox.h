#pragma once
// msgMain: the one message box of the program.

#include "workspace/WorkspaceUi.h"

#include <QDialog>

class QPushButton;
class QLabel;

namespace vorlith {

class MessageBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int ButtonWidth = 70;
    static constexpr int ButtonGap = 10;

    MessageBox(MessageKind kind, const QString& text, MessageButtons buttons, QWidget* parent = nullptr);

    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* TextLabel() const { return text_; }

    // Shows the box modally: mrOk for "OK", mrCancel for "Cancel" or any other way of closing.
    static int Show(MessageKind kind, std::string_view text, MessageButtons buttons,
                    QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* text_ = nullptr;
};

} // namespace vorlith
