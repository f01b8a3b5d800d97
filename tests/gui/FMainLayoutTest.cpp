// The main window adapts: long figures show whole, the Keywords column takes the width the window
// gains, every button stays reachable at the smallest size, and captions fit their controls.
#include "gui/FMain.h"
#include "gui/dialogs/FAddKeywords.h"
#include "gui/dialogs/FMainKeyword.h"
#include "gui/dialogs/FSelectSearch.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Skin.h"
#include "support/ScriptedUi.h"
#include "support/WidgetChecks.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTableView>
#include <QMenu>
#include <QToolButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string_view>
#include <vector>

namespace vorlith {
namespace {

using test::ClientRect;

class FMainLayout : public ::testing::Test {
protected:
    // The measures hold for the built-in skin, as the program starts with it.
    void SetUp() override {
        ApplySkin(BuiltInSkin());
        frm = std::make_unique<TfrmMain>(folder.path().toStdString());
        frm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
    }
    void TearDown() override { ApplySkin(before_); }
    QTableView* Table() { return test::Find<QTableView>(&*frm, "lvwItems"); }

    QString before_ = qApp->styleSheet();

    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> frm;
};

// The text's advance fits the room the label leaves for it.
bool ShowsWhole(const QLabel* label) {
    return label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
}

TEST_F(FMainLayout, SevenDigitCountsShowWholeInTheItemCountPanel) {
    auto* panel = test::Find<QLabel>(&*frm, "SecondStatusPanel");
    const int builtWidth = panel->width();
    for (const char* text : {"1234567 items listed", "Total: 1234567", "100003 items listed"}) {
        frm->ShowStatus(StatusPanel::Second, text);
        QTest::qWait(0);
        QApplication::processEvents();
        EXPECT_TRUE(ShowsWhole(panel)) << text << " in " << panel->width();
    }
    frm->ShowStatus(StatusPanel::Second, "0 item listed");
    QApplication::processEvents();
    EXPECT_EQ(panel->width(), builtWidth);
}

TEST_F(FMainLayout, ALongMainKeywordIsElidedWithTheWholeTextInTheTooltip) {
    auto* panel = test::Find<QLabel>(&*frm, "bsSkinStatusPanel1");
    const std::string text = "Main Keyword: " + std::string(200, 'w');
    frm->ShowStatus(StatusPanel::MainKeyword, text);
    EXPECT_TRUE(ShowsWhole(panel));
    EXPECT_EQ(panel->width(), 160);
    EXPECT_EQ(panel->toolTip().toStdString(), text);
    frm->ShowStatus(StatusPanel::MainKeyword, "Main Keyword: golf");
    EXPECT_EQ(panel->text(), QStringLiteral("Main Keyword: golf"));
    EXPECT_TRUE(panel->toolTip().isEmpty());
}

TEST_F(FMainLayout, SixDigitRowNumbersFitTheNoColumn) {
    std::vector<std::string_view> keywords(123456, "golf");
    frm->Ws().table.AppendKeywords(keywords);
    QTableView* table = Table();
    table->scrollToBottom();
    QApplication::processEvents();
    const int shown = table->columnWidth(0);
    EXPECT_GT(shown, 49);
    // Qt's own measure of the rows in view, the largest numbers among them, asks for no more.
    table->resizeColumnToContents(0);
    EXPECT_LE(table->columnWidth(0), shown);
}

TEST_F(FMainLayout, TheKeywordsColumnTakesWhatTheWindowGainsAndGivesItBack) {
    QTableView* table = Table();
    std::vector<int> others;
    for (int c : {0, 2, 3, 4, 5})
        others.push_back(table->columnWidth(c));
    frm->resize(1400, 800);
    QApplication::processEvents();
    EXPECT_EQ(table->columnWidth(1), 132 + (1400 - 914));
    frm->resize(914, 597);
    QApplication::processEvents();
    EXPECT_EQ(table->columnWidth(1), 132);
    std::vector<int> after;
    for (int c : {0, 2, 3, 4, 5})
        after.push_back(table->columnWidth(c));
    EXPECT_EQ(after, others) << "only the Keywords column changes";
}

struct SizeCase {
    int width;
    int height;
    bool firstSize; // nothing has moved
};

class FMainSizes : public FMainLayout, public ::testing::WithParamInterface<SizeCase> {};

// What no longer fits a narrow window is offered in its bar's "More" menu; at the first size
// every control stays where it was built.
TEST_P(FMainSizes, EveryButtonAndLinkIsReachable) {
    const SizeCase& c = GetParam();
    frm->resize(c.width, c.height);
    QApplication::processEvents();
    if (c.width >= 640) {
        EXPECT_EQ(frm->width(), c.width) << "the window narrows to half a small screen";
    }
    const QRect client = frm->rect();
    const auto buttons = frm->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 15); // eight in the toolbar, seven under the table
    for (const QPushButton* button : buttons) {
        const std::string name = button->objectName().toStdString();
        if (!button->isHidden()) {
            EXPECT_TRUE(client.contains(ClientRect(button))) << name;
            continue;
        }
        EXPECT_FALSE(c.firstSize) << name << " moved at the first size";
        auto* more = button->parentWidget()->findChild<QToolButton*>(button->parentWidget()->objectName() + QStringLiteral("More"));
        ASSERT_TRUE(more && !more->isHidden()) << name;
        EXPECT_TRUE(client.contains(ClientRect(more))) << name;
        Q_EMIT more->menu()->aboutToShow();
        QStringList offered;
        for (const QAction* action : more->menu()->actions())
            offered << action->text();
        EXPECT_TRUE(offered.contains(button->text())) << name;
    }
    for (const char* link : {"lblLink1URL", "lblLink2URL"})
        EXPECT_TRUE(client.contains(ClientRect(test::Find(&*frm, link)))) << link;
    EXPECT_GE(test::Find(&*frm, "lvwItems")->height(), 40) << "some rows still show";
    if (c.firstSize) {
        EXPECT_EQ(test::Find(&*frm, "btnMakeMoney")->geometry(), QRect(721, 7, 98, 20));
        EXPECT_EQ(test::Find(&*frm, "btnSaveShown")->geometry(), QRect(810, 7, 90, 20));
        EXPECT_EQ(test::Find(&*frm, "edtFilter")->geometry(), QRect(424, 7, 180, 20));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FMainSizes,
                         ::testing::Values(SizeCase{914, 597, true}, SizeCase{640, 480, false},
                                           SizeCase{200, 150, false}));

// The room a button or radio button leaves for its caption, as the style lays it out.
int CaptionRoom(const QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool radio = qobject_cast<const QRadioButton*>(button) != nullptr;
    const QRect contents = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents, &option, button);
    // A caption that touches the button's edges does not fit: one pixel clear on each side.
    return radio ? contents.width() : contents.width() - 2;
}

void ExpectCaptionsFit(QWidget& window) {
    window.show();
    window.ensurePolished();
    QApplication::processEvents();
    const auto buttons = window.findChildren<QAbstractButton*>();
    ASSERT_FALSE(buttons.isEmpty());
    for (const QAbstractButton* button : buttons) {
        if (button->text().isEmpty() || !button->isVisibleTo(&window))
            continue;
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), CaptionRoom(button))
            << window.objectName().toStdString() << ": " << button->objectName().toStdString();
    }
    window.hide();
}

TEST_F(FMainLayout, CaptionsFitTheirControlsWithTheBuiltInFont) {
    ExpectCaptionsFit(*frm);
    test::ScriptedUi msgMain;
    TfrmMainKeyword mainKeyword(msgMain, &*frm);
    ExpectCaptionsFit(mainKeyword);
    TfrmAddKeywords addKeywords(msgMain, folder.path(), &*frm);
    ExpectCaptionsFit(addKeywords);
    TfrmSelSearch selectSearch(&*frm);
    ExpectCaptionsFit(selectSearch);
    MessageBox box(MessageKind::Warning, QStringLiteral("Are you sure do you want to delete all?"),
                   MessageButtons::OkCancel, &*frm);
    ExpectCaptionsFit(box);
}

} // namespace
} // namespace vorlith
