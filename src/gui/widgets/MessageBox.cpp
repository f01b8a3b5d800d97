#include "gui/widgets/MessageBox.h"

#include "gui/widgets/Skin.h"
#include "platform/QStringBytes.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vorlith {

MessageBox::MessageBox(MessageKind kind, const QString& text, MessageButtons buttons, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("msgMain"));
    // A dialog frame without frame controls: the buttons are the only way to answer.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(kind == MessageKind::Information ? QStringLiteral("Information")
                                                    : QStringLiteral("Warning"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imgIcon"));
    const auto standard =
        kind == MessageKind::Information ? QStyle::SP_MessageBoxInformation : QStyle::SP_MessageBoxWarning;
    icon->setPixmap(style()->standardIcon(standard).pixmap(32, 32));
    text_ = new QLabel(text, this);
    text_->setObjectName(QStringLiteral("lblText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(text.size() > 80);

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text_, 1, Qt::AlignVCenter);

    auto* row = new QHBoxLayout;
    row->setSpacing(ButtonGap);
    row->addStretch(1);
    const bool yesNo = buttons == MessageButtons::YesNoCancel;
    ok_ = new QPushButton(yesNo ? QStringLiteral("Yes") : QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("btnOk"));
    ok_->setFixedWidth(ButtonWidth);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this, yesNo] { done(yesNo ? mrYes : mrOk); });
    row->addWidget(ok_);
    if (yesNo) {
        auto* no = new QPushButton(QStringLiteral("No"), this);
        no->setObjectName(QStringLiteral("btnNo"));
        no->setFixedWidth(ButtonWidth);
        no->setAutoDefault(false);
        connect(no, &QPushButton::clicked, this, [this] { done(mrNo); });
        row->addWidget(no);
    }
    if (buttons != MessageButtons::Ok) {
        cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
        cancel_->setObjectName(QStringLiteral("btnCancel"));
        cancel_->setFixedWidth(ButtonWidth);
        cancel_->setAutoDefault(false);
        connect(cancel_, &QPushButton::clicked, this, [this] { done(mrCancel); });
        row->addWidget(cancel_);
    }
    row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(14);
    layout->addLayout(top);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void MessageBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape answers "Cancel", or "OK" when it stands alone.
        done(cancel_ ? mrCancel : mrOk);
        return;
    }
    QDialog::keyPressEvent(event);
}

void MessageBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CenterOnScreen(*this);
    ok_->setFocus();
}

int MessageBox::Show(MessageKind kind, std::string_view text, MessageButtons buttons, QWidget* parent) {
    MessageBox box(kind, ToQString(text), buttons, parent);
    const int result = box.exec();
    if (buttons == MessageButtons::YesNoCancel)
        return result == mrYes || result == mrNo ? result : mrCancel;
    return result == mrOk ? mrOk : mrCancel;
}

} // namespace vorlith
