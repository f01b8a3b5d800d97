// The window's keyboard and list conveniences: shortcuts, highlight and context menu, filter box,
// sort arrow, the run panel.
#include "gui/KeywordListTools.h"

#include "gui/FMain.h"
#include "support/WidgetChecks.h"
#include "workspace/StatusTexts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::WhenModalOpens;

class ListTools : public ::testing::Test {
protected:
    void SetUp() override {
        frm = std::make_unique<TfrmMain>(folder.path().toStdString());
        frm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
        frm->activateWindow();
        auto& table = frm->Ws().table;
        table.Append({"golf", "", "30", "", ""});
        table.Append({"soccer", "", "1,000", "", ""});
        table.Append({"Golf clubs", "", "200", "", ""});
        view = test::Find<QTableView>(&*frm, "lvwItems");
        filter = test::Find<QLineEdit>(&*frm, "edtFilter");
    }
    QAction* MenuAction(const char* text) {
        for (QAction* action : frm->Tools().ContextMenu()->actions())
            if (action->text() == QLatin1String(text))
                return action;
        ADD_FAILURE() << "no menu entry " << text;
        return nullptr;
    }
    void Highlight(std::initializer_list<int> rows) {
        view->clearSelection();
        for (int r : rows)
            view->selectionModel()->select(view->model()->index(r, 1),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    std::string Second() const {
        return test::Find<QLabel>(&*frm, "SecondStatusPanel")->text().toStdString();
    }

    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> frm;
    QTableView* view = nullptr;
    QLineEdit* filter = nullptr;
};

TEST_F(ListTools, ContextMenuCopiesTicksAndDeletesTheHighlightedRows) {
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    Highlight({2, 0});
    MenuAction("Copy Keywords")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("golf\nGolf clubs\n"));
    // Ctrl+C in the table copies the highlighted keywords, not the current cell.
    QApplication::clipboard()->clear();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("golf\nGolf clubs\n"));
    MenuAction("Copy Rows")->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("No\tKeywords\tSearches")));
    EXPECT_TRUE(QApplication::clipboard()->text().endsWith(QStringLiteral("3\tGolf clubs\t\t200\t\t\n")));
    MenuAction("Tick")->trigger();
    EXPECT_TRUE(frm->Ws().table.Checked(0));
    EXPECT_FALSE(frm->Ws().table.Checked(1));
    EXPECT_TRUE(frm->Ws().table.Checked(2));
    MenuAction("Untick")->trigger();
    EXPECT_FALSE(frm->Ws().table.Checked(2));

    // Delete asks first; Cancel keeps the rows.
    for (const bool ok : {false, true}) {
        WhenModalOpens([ok](QWidget* box) {
            for (auto* button : box->findChildren<QPushButton*>())
                if (button->text() == (ok ? QStringLiteral("OK") : QStringLiteral("Cancel")))
                    button->click();
        });
        Highlight({0, 2});
        MenuAction("Delete")->trigger();
    }
    ASSERT_EQ(frm->Ws().table.RowCount(), 1);
    EXPECT_EQ(frm->Ws().table.Cell(0, 0), "soccer");
    EXPECT_EQ(Second(), ItemCountText(1));
}

TEST_F(ListTools, FilterBoxNarrowsTheViewAndTheCountSaysSo) {
    QTest::keyClicks(filter, QStringLiteral("GOLF"));
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ(Second(), "2 of 3 shown");
    frm->Ws().table.AppendKeyword("mini golf");
    EXPECT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(Second(), "3 of 4 shown");
    // Ticking through the filtered view reaches the right row.
    view->model()->setData(view->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(frm->Ws().table.Checked(2));
    filter->clear();
    EXPECT_EQ(view->model()->rowCount(), 4);
    EXPECT_EQ(Second(), frm->Ws().SecondStatusText());
}

TEST_F(ListTools, ShortcutsReachTheCommandsWhileButtonsTakeNoFocus) {
    // Keys go where the user's keys go: to the table, which has the focus.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(frm->Ws().table.Checked(r)) << "Ctrl+A in the table ticks, as Select All does";
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    for (int r = 0; r < 3; ++r)
        EXPECT_FALSE(frm->Ws().table.Checked(r));
    QTest::keyClick(frm.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(filter->hasFocus());
    // In the filter box Ctrl+A selects its text and leaves the ticks alone.
    QTest::keyClicks(filter, QStringLiteral("so"));
    QTest::keyClick(filter, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(filter->selectedText(), QStringLiteral("so"));
    EXPECT_FALSE(frm->Ws().table.Checked(1));
    // Tab goes back to the table.
    QTest::keyClick(filter, Qt::Key_Tab);
    EXPECT_TRUE(view->hasFocus());
    for (const char* name : {"btnSaveResults", "btnGatherData", "bsSkinButton3"}) {
        auto* button = test::Find<QPushButton>(&*frm, name);
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << name;
        EXPECT_TRUE(button->toolTip().contains(QLatin1Char('('))) << name << " names its key";
    }
    // F5 on an empty table: Gather Data's own message.
    frm->Ws().table.DeleteAll();
    QString said;
    WhenModalOpens([&said](QWidget* box) {
        for (auto* label : box->findChildren<QLabel*>())
            said += label->text();
        for (auto* button : box->findChildren<QPushButton*>())
            button->click();
    });
    QTest::keyClick(frm.get(), Qt::Key_F5);
    EXPECT_TRUE(said.contains(QStringLiteral("You need add keywords"))) << said.toStdString();
}

TEST_F(ListTools, HeaderShowsTheSortArrowOfTheCoreState) {
    QHeaderView* header = view->horizontalHeader();
    EXPECT_FALSE(header->isSortIndicatorShown());
    frm->lvwItemsColumnClick(3);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 3);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    frm->lvwItemsColumnClick(3);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    frm->lvwItemsColumnClick(1); // the direction carries over
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(ListTools, RunPanelSitsRightOfTheGaugeAndShowsWhatItIsTold) {
    auto* run = test::Find<QLabel>(&*frm, "RunStatusPanel");
    auto* gauge = test::Find<QWidget>(&*frm, "MainGauge");
    EXPECT_FALSE(run->isVisible()) << "no room taken before a run";
    frm->ShowStatus(StatusPanel::Run, "Row 3 of 94, 1:02 left");
    QApplication::processEvents();
    EXPECT_TRUE(run->isVisible());
    EXPECT_EQ(run->text(), QStringLiteral("Row 3 of 94, 1:02 left"));
    EXPECT_GE(run->x(), gauge->x() + gauge->width());
    EXPECT_LE(run->x() + run->width(), frm->width());
    EXPECT_EQ(test::Find<QLabel>(&*frm, "MainStatusPanel")->text(), QString());
}

} // namespace
} // namespace vorlith
