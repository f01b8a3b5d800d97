#include "harvest/Challenge.h"

#include "harvest/FCaptcha.h"
#include "support/ScriptedUi.h"
#include "support/WidgetChecks.h"
#include "ui/WebView.h"
#include "workspace/FMain.h"

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

constexpr const char* Random = R"(<input type="hidden" name="random" value=")";
constexpr const char* Seed = R"(<input type="hidden" name="seed" value=")";

std::string Input(const char* marker, const char* value) {
    return std::string(marker) + value + "\">";
}

struct ParseCase {
    const char* Name;
    std::string Page;
    ChallengeFields Expected;
};

class ParseChallengeCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseChallengeCases, CutsTheHiddenValuesAndTheImageAddressInOrder) {
    const ParseCase& c = GetParam();
    const ChallengeFields got = ParseChallenge(c.Page);
    EXPECT_EQ(got.ChallengeRandom, c.Expected.ChallengeRandom);
    EXPECT_EQ(got.ChallengeSeed, c.Expected.ChallengeSeed);
    EXPECT_EQ(got.ChallengeImageURL, c.Expected.ChallengeImageURL);
}

const std::string Sentence(ChallengeSentence);

INSTANTIATE_TEST_SUITE_P(
    Table, ParseChallengeCases,
    ::testing::Values(
        ParseCase{"Usual",
                  "<p>" + Sentence + "</p>" + Input(Random, "8811") + Input(Seed, "golf+clubs") +
                      R"(<img src="http://img.example/c.gif?r=8811&amp;s=2">)",
                  {"8811", "golf+clubs", "http://img.example/c.gif?r=8811&s=2"}},
        ParseCase{"AmpersandsReplacedInOnePass",
                  Input(Random, "r") + Input(Seed, "s") + R"(<img src="/c?a=1&amp;amp;b=2&amp;&amp;c=3">)",
                  {"r", "s", "/c?a=1&amp;b=2&&c=3"}},
        ParseCase{"HiddenValuesTakenRaw",
                  Input(Random, "a&amp;b%20c") + Input(Seed, "x y") + R"(src="i")",
                  {"a&amp;b%20c", "x y", "i"}},
        ParseCase{"EmptyValues", Input(Random, "") + Input(Seed, "") + R"(src="")", {"", "", ""}},
        ParseCase{"SeedBeforeRandomIsNotFound",
                  Input(Seed, "s") + Input(Random, "r") + R"(src="i")",
                  {"r", "", "i"}},
        ParseCase{"NoRandomInput", Input(Seed, "s") + R"(src="i")", {"", "s", "i"}},
        ParseCase{"NoHiddenInputs", R"(<img src="only.gif">)", {"", "", "only.gif"}},
        ParseCase{"ImageBeforeTheInputsIsNotSeen",
                  R"(<img src="logo.gif">)" + Input(Random, "r") + Input(Seed, "s"),
                  {"r", "s", ""}},
        ParseCase{"FirstSourceAfterTheInputs",
                  Input(Random, "r") + Input(Seed, "s") + R"(<script src="x.js"></script><img src="c.gif">)",
                  {"r", "s", "x.js"}},
        ParseCase{
            "MarkersInCapitals",
            R"(<INPUT TYPE="hidden" NAME="random" VALUE="R1"><Input Type="Hidden" Name="Seed" Value="S1"><IMG SRC="C.GIF">)",
            {"R1", "S1", "C.GIF"}},
        ParseCase{"MissingClosingQuote", Input(Random, "r") + Seed + "no end", {"r", "", ""}},
        ParseCase{"EmptyPage", "", {"", "", ""}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(AnswerAddress, JoinsThePiecesWithoutEncoding) {
    EXPECT_EQ(AnswerAddress("http://svc.example", "a b&c", "1%2", "golf+clubs"),
              "http://svc.example/keyword-suggestion-tool.html?password=a b&c&random=1%2&seed=golf+clubs");
    EXPECT_EQ(AnswerAddress("http://svc.example", "", "", ""),
              "http://svc.example/keyword-suggestion-tool.html?password=&random=&seed=");
}

std::string ChallengePage(const char* random, const char* seed, const char* image) {
    return "<html>" + Sentence + Input(Random, random) + Input(Seed, seed) + "<img src=\"" + image +
           "\"></html>";
}

class Captcha : public ::testing::Test {
protected:
    ScriptedUi ui;
    TfrmCaptcha frm{ui};
};

TEST_F(Captcha, LayoutTabOrderAndAResizableFrameWithACloseControlOnly) {
    EXPECT_EQ(frm.windowTitle(), QStringLiteral("Security image"));
    EXPECT_EQ(frm.size(), QSize(310, 209));
    EXPECT_TRUE(frm.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(frm.minimumSize(), frm.maximumSize()) << "the user can resize the frame";
    EXPECT_TRUE(frm.edtPassword->text().isEmpty());

    struct Place {
        QWidget* Widget;
        QRect Rect;
        const char* Text;
    };
    const Place places[] = {
        {frm.bsSkinStdLabel2, {13, 7, 238, 16}, "Please enter the characters in the image"},
        {frm.EmbeddedWB1, {13, 26, 280, 111}, nullptr},
        {frm.edtPassword, {13, 148, 280, 15}, nullptr},
        {frm.bsSkinButton1, {15, 171, 82, 21}, "Refresh"},
        {frm.btnOk, {127, 171, 82, 21}, "Ok"},
        {frm.btnCancel, {216, 171, 82, 21}, "Cancel"},
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
    EXPECT_EQ(TabChain(frm.EmbeddedWB1, 5),
              (std::vector<QWidget*>{frm.EmbeddedWB1, frm.edtPassword, frm.bsSkinButton1, frm.btnOk,
                                     frm.btnCancel}));
    EXPECT_EQ(frm.focusWidget(), frm.edtPassword);
}

TEST_F(Captcha, ShowingItReadsThePageAndPointsTheViewAtTheImage) {
    frm.ChallengePage = ChallengePage("8811", "golf", "http://127.0.0.1:9/c.gif?a=1&amp;b=2");
    frm.show();
    EXPECT_EQ(frm.ChallengeRandom, "8811");
    EXPECT_EQ(frm.ChallengeSeed, "golf");
    EXPECT_EQ(frm.ChallengeImageURL, "http://127.0.0.1:9/c.gif?a=1&b=2");
    EXPECT_EQ(frm.EmbeddedWB1->Address(), QStringLiteral("http://127.0.0.1:9/c.gif?a=1&b=2"));
}

TEST_F(Captcha, EnterAndEscapeLeaveTheWindowOpen) {
    frm.show();
    QTest::keyClicks(frm.edtPassword, QStringLiteral("x7k"));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(frm.edtPassword, key);
        EXPECT_TRUE(frm.isVisible()) << key;
        EXPECT_EQ(frm.result(), 0) << key;
    }
    QTest::keyClick(&frm, Qt::Key_Escape);
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.edtPassword->text(), QStringLiteral("x7k"));
}

TEST_F(Captcha, OkRefusesAnEmptyAnswerButTakesSpaces) {
    frm.show();
    ui.AnswerMessage("Please enter a password.");
    QTest::mouseClick(frm.btnOk, Qt::LeftButton);
    EXPECT_TRUE(frm.isVisible());
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0].Kind, MessageKind::Information);
    EXPECT_EQ(ui.Messages[0].Buttons, MessageButtons::Ok);

    QTest::keyClicks(frm.edtPassword, QStringLiteral(" "));
    QTest::mouseClick(frm.btnOk, Qt::LeftButton);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.result(), mrOk);
    EXPECT_EQ(frm.edtPassword->text(), QStringLiteral(" "));
}

TEST_F(Captcha, CancelClosesWithCancel) {
    frm.show();
    QTest::mouseClick(frm.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.result(), mrCancel);
}

TEST_F(Captcha, RefreshReloadsTheImageAndAFailureShowsNoMessage) {
    // Port 9 on loopback refuses: every load fails.
    frm.ChallengePage = ChallengePage("r", "s", "http://127.0.0.1:9/c.gif");
    QSignalSpy done(frm.EmbeddedWB1, &WebView::LoadFinished);
    frm.show();
    ASSERT_TRUE(done.wait(10000));
    QTest::mouseClick(frm.bsSkinButton1, Qt::LeftButton);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(done.last().first().toBool());
    EXPECT_EQ(frm.EmbeddedWB1->ShownText(), QString::fromLatin1(WebView::FailureText));
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.ChallengeRandom, "r") << "the fields stay as they were";
    EXPECT_TRUE(ui.Messages.empty());
}

enum class Close { Ok, Cancel, Frame };

class CaptchaThroughTheMainWindow : public ::testing::TestWithParam<Close> {};

// The main window's port hands back the answer box and the hidden values however the window closed.
TEST_P(CaptchaThroughTheMainWindow, AnswersWithTheTypedTextAndTheHiddenValues) {
    QTemporaryDir folder;
    TfrmMain frmMain(folder.path().toStdString());
    const Close how = GetParam();
    test::WhenModalOpens([how](QWidget* modal) {
        auto* frm = qobject_cast<TfrmCaptcha*>(modal);
        ASSERT_NE(frm, nullptr);
        QTest::keyClicks(frm->edtPassword, QStringLiteral("a b"));
        switch (how) {
        case Close::Ok:
            QTest::mouseClick(frm->btnOk, Qt::LeftButton);
            break;
        case Close::Cancel:
            QTest::mouseClick(frm->btnCancel, Qt::LeftButton);
            break;
        case Close::Frame:
            frm->close();
            break;
        }
    });
    const ChallengeAnswer answer =
        frmMain.AskChallenge(ChallengePage("91", "golf+clubs", "http://127.0.0.1:9/c.gif"));
    EXPECT_EQ(answer.ModalResult, how == Close::Ok ? mrOk : mrCancel);
    EXPECT_EQ(answer.Password, "a b");
    EXPECT_EQ(answer.ChallengeRandom, "91");
    EXPECT_EQ(answer.ChallengeSeed, "golf+clubs");
}

INSTANTIATE_TEST_SUITE_P(Ways, CaptchaThroughTheMainWindow,
                         ::testing::Values(Close::Ok, Close::Cancel, Close::Frame));

} // namespace
} // namespace vorlith
