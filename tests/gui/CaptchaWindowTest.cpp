#include "gui/FCaptcha.h"
#include "gui/FMain.h"
#include "gui/widgets/WebView.h"
#include "harvest/Challenge.h"
#include "support/ScriptedUi.h"
#include "support/WidgetChecks.h"
#include "workspace/Workspace.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::ClientRect;
using test::ScriptedUi;
using test::TabChain;

// The window asks the core's rule when Ok is pressed.
ChallengePrompt Prompt(Workspace& ws, const char* image = "http://127.0.0.1:9/c.gif") {
    return {image, [&ws](std::string_view password) { return AcceptChallengeAnswer(ws, password); }};
}

class Captcha : public ::testing::Test {
protected:
    ScriptedUi ui;
    Workspace ws{ui, "/tmp/"};
    TfrmCaptcha frm{Prompt(ws, "http://127.0.0.1:9/c.gif?a=1&b=2")};
};

TEST_F(Captcha, LayoutTabOrderAndAResizableFrameWithACloseControlOnly) {
    EXPECT_EQ(frm.windowTitle(), QStringLiteral("Security image"));
    EXPECT_EQ(frm.size(), QSize(310, 209));
    EXPECT_TRUE(frm.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(frm.minimumSize(), frm.maximumSize()) << "the user can resize the frame";
    EXPECT_TRUE(test::Find<QLineEdit>(frm, "edtPassword")->text().isEmpty());

    struct Place {
        QWidget* Widget;
        QRect Rect;
        const char* Text;
    };
    const Place places[] = {
        {test::Find<QLabel>(frm, "bsSkinStdLabel2"),
         {13, 7, 238, 16},
         "Please enter the characters in the image"},
        {test::Find<WebView>(frm, "EmbeddedWB1"), {13, 26, 280, 111}, nullptr},
        {test::Find<QLineEdit>(frm, "edtPassword"), {13, 148, 280, 15}, nullptr},
        {test::Find<QPushButton>(frm, "bsSkinButton1"), {15, 171, 82, 21}, "Refresh"},
        {test::Find<QPushButton>(frm, "btnOk"), {127, 171, 82, 21}, "Ok"},
        {test::Find<QPushButton>(frm, "btnCancel"), {216, 171, 82, 21}, "Cancel"},
    };
    frm.show();
    for (const QSize size : {QSize(310, 209), QSize(500, 400), QSize(200, 150)}) {
        frm.resize(size);
        for (const Place& p : places) {
            EXPECT_EQ(ClientRect(p.Widget), p.Rect)
                << p.Widget->objectName().toStdString() << " at " << size.width();
            if (const auto* label = qobject_cast<QLabel*>(p.Widget)) {
                EXPECT_EQ(label->text().toStdString(), p.Text);
            }
            if (const auto* button = qobject_cast<QPushButton*>(p.Widget)) {
                EXPECT_EQ(button->text().toStdString(), p.Text);
            }
        }
    }
    EXPECT_EQ(TabChain(test::Find<WebView>(frm, "EmbeddedWB1"), 5),
              (std::vector<QWidget*>{
                  test::Find<WebView>(frm, "EmbeddedWB1"), test::Find<QLineEdit>(frm, "edtPassword"),
                  test::Find<QPushButton>(frm, "bsSkinButton1"), test::Find<QPushButton>(frm, "btnOk"),
                  test::Find<QPushButton>(frm, "btnCancel")}));
    EXPECT_EQ(frm.focusWidget(), test::Find<QLineEdit>(frm, "edtPassword"));
}

TEST_F(Captcha, ShowingItPointsTheViewAtTheImage) {
    frm.show();
    EXPECT_EQ(test::Find<WebView>(frm, "EmbeddedWB1")->Address(),
              QStringLiteral("http://127.0.0.1:9/c.gif?a=1&b=2"));
}

TEST_F(Captcha, EnterAndEscapeLeaveTheWindowOpen) {
    frm.show();
    QTest::keyClicks(test::Find<QLineEdit>(frm, "edtPassword"), QStringLiteral("x7k"));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(test::Find<QLineEdit>(frm, "edtPassword"), key);
        EXPECT_TRUE(frm.isVisible()) << key;
        EXPECT_EQ(frm.result(), 0) << key;
    }
    QTest::keyClick(&frm, Qt::Key_Escape);
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtPassword")->text(), QStringLiteral("x7k"));
}

TEST_F(Captcha, OkRefusesAnEmptyAnswerButTakesSpaces) {
    frm.show();
    ui.AnswerMessage("Please enter a password.");
    QTest::mouseClick(test::Find<QPushButton>(frm, "btnOk"), Qt::LeftButton);
    EXPECT_TRUE(frm.isVisible());
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0].Kind, MessageKind::Information);
    EXPECT_EQ(ui.Messages[0].Buttons, MessageButtons::Ok);

    QTest::keyClicks(test::Find<QLineEdit>(frm, "edtPassword"), QStringLiteral(" "));
    QTest::mouseClick(test::Find<QPushButton>(frm, "btnOk"), Qt::LeftButton);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.result(), mrOk);
    EXPECT_EQ(test::Find<QLineEdit>(frm, "edtPassword")->text(), QStringLiteral(" "));
}

TEST_F(Captcha, CancelClosesWithCancel) {
    frm.show();
    QTest::mouseClick(test::Find<QPushButton>(frm, "btnCancel"), Qt::LeftButton);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.result(), mrCancel);
}

TEST_F(Captcha, RefreshReloadsTheImageAndAFailureShowsNoMessage) {
    // Port 9 on loopback refuses: every load fails.
    QSignalSpy done(test::Find<WebView>(frm, "EmbeddedWB1"), &WebView::LoadFinished);
    frm.show();
    ASSERT_TRUE(done.wait(10000));
    QTest::mouseClick(test::Find<QPushButton>(frm, "bsSkinButton1"), Qt::LeftButton);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.last().first().toBool());
    EXPECT_EQ(test::Find<WebView>(frm, "EmbeddedWB1")->ShownText(),
              QString::fromLatin1(WebView::FailureText));
    EXPECT_TRUE(frm.isVisible());
    EXPECT_TRUE(ui.Messages.empty());
}

enum class Close { Ok, Cancel, Frame };

class CaptchaThroughTheMainWindow : public ::testing::TestWithParam<Close> {};

// The main window's port hands back the answer box however the window closed.
TEST_P(CaptchaThroughTheMainWindow, AnswersWithTheTypedText) {
    QTemporaryDir folder;
    TfrmMain frmMain(folder.path().toStdString());
    const Close how = GetParam();
    test::WhenModalOpens([how](QWidget* modal) {
        auto* frm = qobject_cast<TfrmCaptcha*>(modal);
        ASSERT_NE(frm, nullptr);
        QTest::keyClicks(test::Find<QLineEdit>(&*frm, "edtPassword"), QStringLiteral("a b"));
        switch (how) {
        case Close::Ok:
            QTest::mouseClick(test::Find<QPushButton>(&*frm, "btnOk"), Qt::LeftButton);
            break;
        case Close::Cancel:
            QTest::mouseClick(test::Find<QPushButton>(&*frm, "btnCancel"), Qt::LeftButton);
            break;
        case Close::Frame:
            frm->close();
            break;
        }
    });
    const ChallengeAnswer answer = frmMain.AskChallenge(Prompt(frmMain.Ws()));
    EXPECT_EQ(answer.ModalResult, how == Close::Ok ? mrOk : mrCancel);
    EXPECT_EQ(answer.Password, "a b");
}

INSTANTIATE_TEST_SUITE_P(Ways, CaptchaThroughTheMainWindow,
                         ::testing::Values(Close::Ok, Close::Cancel, Close::Frame));

} // namespace
} // namespace vorlith
