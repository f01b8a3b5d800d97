#include "gui/widgets/MessageBox.h"

#include "support/WidgetChecks.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

enum class Answer { ClickOk, ClickCancel, Escape, Enter, Close };

struct BoxCase {
    const char* Name;
    MessageButtons Buttons;
    Answer Given;
    int Expected;
};

class MessageBoxAnswers : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxAnswers, ReturnOneForOkAndTwoForEverythingElse) {
    const BoxCase& c = GetParam();
    test::WhenModalOpens([given = c.Given](QWidget* modal) {
        auto* box = qobject_cast<MessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        switch (given) {
        case Answer::ClickOk:
            QTest::mouseClick(box->OkButton(), Qt::LeftButton);
            break;
        case Answer::ClickCancel:
            QTest::mouseClick(box->CancelButton(), Qt::LeftButton);
            break;
        case Answer::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        case Answer::Enter:
            QTest::keyClick(box->focusWidget(), Qt::Key_Return);
            break;
        case Answer::Close:
            box->close();
            break;
        }
    });
    EXPECT_EQ(
        MessageBox::Show(MessageKind::Information, "Are you sure do you want to delete all?", c.Buttons),
        c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MessageBoxAnswers,
    ::testing::Values(BoxCase{"OkAloneClicked", MessageButtons::Ok, Answer::ClickOk, mrOk},
                      BoxCase{"OkAloneEscape", MessageButtons::Ok, Answer::Escape, mrOk},
                      BoxCase{"OkAloneEnter", MessageButtons::Ok, Answer::Enter, mrOk},
                      BoxCase{"OkAloneClosed", MessageButtons::Ok, Answer::Close, mrCancel},
                      BoxCase{"OkCancelOk", MessageButtons::OkCancel, Answer::ClickOk, mrOk},
                      BoxCase{"OkCancelEnterIsOk", MessageButtons::OkCancel, Answer::Enter, mrOk},
                      BoxCase{"OkCancelCancel", MessageButtons::OkCancel, Answer::ClickCancel, mrCancel},
                      BoxCase{"OkCancelEscape", MessageButtons::OkCancel, Answer::Escape, mrCancel},
                      BoxCase{"OkCancelClosed", MessageButtons::OkCancel, Answer::Close, mrCancel}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MessageBox, CaptionByKindCentredRowOfSeventyPixelButtonsAndNoFrameControls) {
    MessageBox warning(MessageKind::Warning, QStringLiteral("The updater module is missing."),
                       MessageButtons::Ok);
    EXPECT_EQ(warning.windowTitle(), QStringLiteral("Warning"));
    EXPECT_EQ(warning.CancelButton(), nullptr);

    MessageBox box(MessageKind::Information, QStringLiteral("Do you want to update now?"),
                   MessageButtons::OkCancel);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Information"));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowSystemMenuHint);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.TextLabel()->text(), QStringLiteral("Do you want to update now?"));
    EXPECT_EQ(box.OkButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.CancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(box.OkButton()->isDefault());
    EXPECT_EQ(box.OkButton()->width(), 70);
    EXPECT_EQ(box.CancelButton()->width(), 70);
    EXPECT_EQ(box.CancelButton()->x() - box.OkButton()->geometry().right() - 1, 10);
    const int left = box.OkButton()->x();
    const int right = box.width() - box.CancelButton()->geometry().right() - 1;
    EXPECT_LE(std::abs(left - right), 1) << "the row is centred";
    EXPECT_GT(box.OkButton()->y(), box.TextLabel()->geometry().bottom()) << "the buttons sit at the bottom";
    box.close();
}

} // namespace
} // namespace vorlith
