#include "gui/FMain.h"

#include "gui/widgets/GaugeBar.h"
#include "gui/widgets/LinkLabel.h"
#include "support/WidgetChecks.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::ClientRect;

class FMain : public ::testing::Test {
protected:
    void SetUp() override {
        frm = std::make_unique<TfrmMain>(folder.path().toStdString());
        frm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
    }
    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> frm;
};

TEST_F(FMain, OpensWithTheTitleClientSizeAndStripsAsLaidOut) {
    EXPECT_EQ(frm->windowTitle(), QStringLiteral("Vorlith"));
    EXPECT_EQ(frm->size(), QSize(914, 597));
    EXPECT_EQ(ClientRect(test::Find<QFrame>(&*frm, "bsSkinPanel1")), QRect(0, 0, 914, 33));
    EXPECT_EQ(ClientRect(test::Find<QFrame>(&*frm, "panBanner")), QRect(0, 33, 914, 65));
    EXPECT_EQ(ClientRect(test::Find<QFrame>(&*frm, "bsSkinPanel3")), QRect(0, 98, 914, 428));
    EXPECT_EQ(ClientRect(test::Find<QTableView>(&*frm, "lvwItems")), QRect(0, 98, 914, 428));
    EXPECT_EQ(ClientRect(test::Find<QFrame>(&*frm, "bsSkinPanel4")), QRect(0, 526, 914, 54));
    EXPECT_EQ(ClientRect(test::Find<QFrame>(&*frm, "bsSkinStatusBar1")), QRect(0, 580, 914, 17));
    // FormCreate gave the GIF player the picture's place.
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->geometry(), QRect(144, -8, 105, 105));
    EXPECT_EQ(test::Find<QLabel>(&*frm, "imgBanner")->geometry(), QRect(144, -8, 105, 105));
}

struct ButtonCase {
    const char* Name;
    const char* Caption;
    int Left;
    int Width;
};

TEST_F(FMain, ButtonsHaveTheirCaptionsPlacesHandCursorAndTakeNoFocus) {
    const ButtonCase toolbar[] = {
        {"btnMainKeyword", "Main Keyword", 7, 99},   {"btnGatherKeyword", "Gather Keywords", 109, 98},
        {"btnAddKeyword", "Add Keywords", 210, 99},  {"btnGatherData", "Gather Data", 312, 98},
        {"btnSaveResults", "Save Results", 414, 98}, {"btnHelp", "Help", 516, 98},
        {"btnUpdate", "Check Updates", 618, 99},     {"btnMakeMoney", "Make Money", 721, 98},
    };
    const ButtonCase table[] = {
        {"bsSkinButton1", "Select All", 9, 100},
        {"bsSkinButton2", "Clear Selection", 112, 100},
        {"bsSkinButton3", "Delete Selected", 215, 100},
        {"bsSkinButton4", "Delete All", 319, 99},
    };
    auto check = [](QWidget* strip, const ButtonCase& c) {
        auto* button = strip->findChild<QPushButton*>(QString::fromLatin1(c.Name));
        ASSERT_NE(button, nullptr) << c.Name;
        EXPECT_EQ(button->text(), QString::fromLatin1(c.Caption)) << c.Name;
        EXPECT_EQ(button->geometry(), QRect(c.Left, 7, c.Width, 20)) << c.Name;
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor) << c.Name;
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << c.Name;
    };
    for (const auto& c : toolbar)
        check(test::Find<QFrame>(&*frm, "bsSkinPanel1"), c);
    for (const auto& c : table)
        check(test::Find<QFrame>(&*frm, "bsSkinPanel4"), c);
    // Left to right is the order of the strip's children, so tab order would follow it too.
    auto buttons =
        test::Find<QFrame>(&*frm, "bsSkinPanel1")->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(buttons.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(buttons[i]->objectName(), QString::fromLatin1(toolbar[i].Name));
}

TEST_F(FMain, TableHasSixSizedColumnsCheckBoxesGridAndClickableHeaders) {
    const char* headers[] = {"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
    const int widths[] = {49, 132, 132, 104, 104, 104};
    auto* view = test::Find<QTableView>(&*frm, "lvwItems");
    ASSERT_EQ(view->model()->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(view->model()->headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headers[c]));
        EXPECT_EQ(view->columnWidth(c), widths[c]);
    }
    EXPECT_TRUE(view->showGrid());
    EXPECT_TRUE(view->horizontalHeader()->sectionsClickable());
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_FALSE(view->verticalScrollBar()->isVisible());
    frm->Ws().table.AppendKeyword("golf");
    EXPECT_EQ(view->model()->data(view->model()->index(0, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    frm->SetHeaderClicksEnabled(false);
    EXPECT_FALSE(view->horizontalHeader()->sectionsClickable());
}

TEST_F(FMain, StatusBarPartsAndLinkLabelsStartAsBuilt) {
    EXPECT_EQ(test::Find<QLabel>(&*frm, "MainStatusPanel")->width(), 542);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "bsSkinStatusPanel1")->width(), 160);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "SecondStatusPanel")->width(), 82);
    EXPECT_EQ(test::Find<GaugeBar>(&*frm, "MainGauge")->width(), 130);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "MainStatusPanel")->text(), QString());
    EXPECT_EQ(test::Find<QLabel>(&*frm, "bsSkinStatusPanel1")->text(), QStringLiteral("Main Keyword: "));
    EXPECT_EQ(test::Find<QLabel>(&*frm, "SecondStatusPanel")->text(), QStringLiteral("0 item listed"));
    EXPECT_EQ(test::Find<GaugeBar>(&*frm, "MainGauge")->text(), QStringLiteral("0%"));

    for (LinkLabel* link :
         {test::Find<LinkLabel>(&*frm, "lblLink1URL"), test::Find<LinkLabel>(&*frm, "lblLink2URL")}) {
        EXPECT_EQ(link->text(), QStringLiteral("Google"));
        EXPECT_EQ(link->Address(), frm->Ws().Endpoints.GoogleSearchBase);
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->font().pixelSize(), 12);
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(link->height(), 14);
        EXPECT_EQ(link->y(), 32);
    }
    EXPECT_EQ(test::Find<LinkLabel>(&*frm, "lblLink1URL")->x(), 13);
    auto rightGap = [&] {
        return test::Find<QFrame>(&*frm, "bsSkinPanel4")->width() -
               test::Find<LinkLabel>(&*frm, "lblLink2URL")->geometry().right() - 1;
    };
    EXPECT_EQ(rightGap(), 18);

    // The second label's right edge stays put when its caption grows or the window narrows.
    test::Find<LinkLabel>(&*frm, "lblLink2URL")->SetCaption("A much longer link caption");
    test::Find<LinkLabel>(&*frm, "lblLink2URL")->adjustSize();
    frm->resize(700, 597);
    QTest::qWait(0);
    EXPECT_EQ(rightGap(), 18);
}

TEST_F(FMain, StatusWritesAndGatherDataCaptionReachTheControls) {
    frm->Ws().SetMainStatus("Process completed sucessfull!");
    frm->Ws().gauge.SetMaximum(3);
    frm->Ws().gauge.SetValue(2);
    frm->Ws().ShowGauge();
    frm->SetGatherDataCaption("Stop");
    EXPECT_EQ(test::Find<QLabel>(&*frm, "MainStatusPanel")->text(),
              QStringLiteral("Process completed sucessfull!"));
    EXPECT_EQ(test::Find<GaugeBar>(&*frm, "MainGauge")->text(), QStringLiteral("67%"));
    EXPECT_EQ(test::Find<QPushButton>(&*frm, "btnGatherData")->text(), QStringLiteral("Stop"));
}

TEST_F(FMain, StartupTimerIsArmedOnceAsASingleShotOf100Ms) {
    auto* timer = test::Find<QTimer>(&*frm, "Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 100);
    QSignalSpy fired(timer, &QTimer::timeout);
    ASSERT_TRUE(fired.wait(5000));
    EXPECT_EQ(fired.count(), 1);
    EXPECT_FALSE(timer->isActive());
}

TEST_F(FMain, MainKeywordButtonAsksAndShowsTheAcceptedKeyword) {
    test::WhenModalOpens([](QWidget* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("edtMainKeyword"));
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QStringLiteral("golf clubs"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QTest::mouseClick(test::Find<QPushButton>(&*frm, "btnMainKeyword"), Qt::LeftButton);
    EXPECT_EQ(frm->Ws().MainKeyword, "golf clubs");
    EXPECT_EQ(test::Find<QLabel>(&*frm, "bsSkinStatusPanel1")->text(),
              QStringLiteral("Main Keyword: golf clubs"));
}

} // namespace
} // namespace vorlith
