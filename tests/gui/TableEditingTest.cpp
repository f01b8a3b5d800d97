#include "gui/FMain.h"
#include "gui/KeywordListTools.h"
#include "support/WidgetChecks.h"
#include "workspace/KeywordTable.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

// The user's road from the first report: filter, Select All, Delete Selected answering Yes to
// our question and OK to the delete question, then Ctrl+Z; then Ctrl+Y, and Esc empties the filter.
TEST(TableEditing, CtrlZAfterAFilteredDeleteLeavesTheTableAsBefore) {
    QTemporaryDir folder;
    TfrmMain frm(folder.path().toStdString());
    frm.show();
    frm.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    auto* view = test::Find<QTableView>(&frm, "lvwItems");
    for (const char* k : {"golf", "salsa", "tennis", "sale"})
        frm.Ws().table.AppendKeyword(k);
    const auto before = frm.Ws().table.Rows();
    frm.Tools().FilterBox()->setText(QStringLiteral("sal"));
    frm.bsSkinButton1Click();
    frm.Ws().table.SetChecked(0, true); // a hidden tick: our question comes first
    test::WhenModalOpens([](QWidget* modal) {
        static_cast<QDialog*>(modal)->done(mrNo);
        test::WhenModalOpens([](QWidget* next) { static_cast<QDialog*>(next)->done(mrOk); });
    });
    frm.bsSkinButton3Click();
    ASSERT_EQ(frm.Ws().table.RowCount(), 2);
    frm.activateWindow(); // back from the message boxes
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(frm.Ws().table.RowCount(), 4);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(frm.Ws().table.Row(r).Cell, before[static_cast<std::size_t>(r)].Cell);
        EXPECT_EQ(frm.Ws().table.Checked(r), r != 2);
    }
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(frm.Ws().table.RowCount(), 2);
    const QStringList entries = [&] {
        QStringList texts;
        for (const QAction* action : frm.Tools().ContextMenu()->actions())
            texts << action->text();
        return texts;
    }();
    EXPECT_EQ(entries.mid(0, 2), (QStringList{QStringLiteral("Undo"), QStringLiteral("Redo")}));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(frm.Tools().FilterBox()->text().isEmpty());
}

} // namespace
} // namespace vorlith
