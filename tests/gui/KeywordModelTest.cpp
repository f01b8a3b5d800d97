// The list's model: what the window shows of the keyword table, through the filter.
#include "gui/KeywordModel.h"

#include "workspace/KeywordTable.h"
#include "workspace/RowFilter.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <random>

namespace vorlith {
namespace {

using Rows = std::vector<int>;

KeywordTable& Fill(KeywordTable& table, const std::vector<std::string>& keywords) {
    for (const auto& k : keywords)
        table.AppendKeyword(k);
    return table;
}

TEST(KeywordModel, ShowsHeadersCellsAndTheCheckBoxInColumnZero) {
    KeywordTable table;
    table.Append({"golf clubs", "1,234", "985", "", "77"});
    KeywordModel model(table);
    const std::vector<std::string> headers{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
    for (int c = 0; c < ColumnCount; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(), headers[c]);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("1"));
    EXPECT_EQ(model.data(model.index(0, 2), Qt::DisplayRole).toString(), QStringLiteral("1,234"));
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Checked(0));
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("x"), Qt::EditRole));
}

TEST(KeywordModel, FailedCellsShowTheReasonAndATint) {
    KeywordTable table;
    table.Append({"golf", "", "old", "", ""});
    table.MarkFailed(0, CellOf(Column::Google), "Connection error");
    KeywordModel model(table);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    table.MarkFailed(0, CellOf(Column::Msn), "Process aborted!");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_TRUE(changed.at(0).at(2).value<QList<int>>().contains(Qt::ToolTipRole));

    // Shown: a tooltip with the reason and a tint; a cell never asked shows neither.
    const QModelIndex failed = model.index(0, static_cast<int>(Column::Google));
    EXPECT_EQ(model.data(failed, Qt::ToolTipRole).toString(), QStringLiteral("Lookup failed: Connection error"));
    EXPECT_TRUE(model.data(failed, Qt::BackgroundRole).canConvert<QColor>());
    EXPECT_FALSE(model.data(model.index(0, static_cast<int>(Column::Yahoo)), Qt::ToolTipRole).isValid());
    EXPECT_EQ(model.data(failed, Qt::DisplayRole).toString(), QStringLiteral("old"));
    table.SetCell(0, CellOf(Column::Google), "12");
    EXPECT_FALSE(model.data(failed, Qt::BackgroundRole).isValid()) << "an answer clears the tint";
}

// A sort keeps the view's selection and current cell on their rows, filtered or not.
TEST(KeywordModel, ReorderKeepsPersistentIndexesOnTheirRows) {
    for (const char* filter : {"", "o"}) {
        KeywordTable table;
        Fill(table, {"golf", "soccer", "tennis", "polo"});
        KeywordModel model(table);
        model.SetFilter(filter);
        QPersistentModelIndex golf = model.index(0, 1);
        table.Reorder({2, 3, 0, 1});
        EXPECT_EQ(golf.data().toString(), QStringLiteral("golf")) << filter;
        EXPECT_EQ(golf.row(), model.ShownRow(2)) << filter;
    }
}

class Filtered : public ::testing::Test {
protected:
    Filtered() { Fill(table, {"golf", "chess", "Golf clubs", "go", "mini golf"}); }
    Rows Shown() const {
        Rows rows;
        for (int r = 0; r < model.rowCount(); ++r)
            rows.push_back(model.SourceRow(r));
        return rows;
    }
    KeywordTable table;
    KeywordModel model{table};
    // Aborts on a notice that breaks the item model protocol a view relies on.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(Filtered, ShowsTheTableRowForRowWithoutAFilter) {
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.data(model.index(2, 1), Qt::DisplayRole).toString(), QStringLiteral("Golf clubs"));
    EXPECT_EQ(model.ShownRow(4), 4);
    table.Delete(1);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.data(model.index(1, 1), Qt::DisplayRole).toString(), QStringLiteral("Golf clubs"));
}

TEST_F(Filtered, NarrowsWidensAndMapsBothWays) {
    model.SetFilter("g");
    EXPECT_EQ(Shown(), (Rows{0, 2, 3, 4}));
    model.SetFilter("gol");
    EXPECT_EQ(Shown(), (Rows{0, 2, 4}));
    EXPECT_EQ(model.ShownRow(2), 1);
    EXPECT_EQ(model.ShownRow(1), -1);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("3"));
    model.SetFilter("s");
    EXPECT_EQ(Shown(), (Rows{1, 2}));
    model.SetFilter("");
    EXPECT_EQ(model.rowCount(), 5);
}

TEST_F(Filtered, TicksReachTheTableAndChangesReachTheView) {
    model.SetFilter("golf");
    ASSERT_TRUE(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Checked(2));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    table.SetCell(4, 2, "123");
    table.SetCell(1, 2, "hidden row");
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>().row(), 2);
}

TEST_F(Filtered, FollowsAppendsDeletesAndSorts) {
    model.SetFilter("golf");
    table.AppendKeyword("GOLFING");
    table.AppendKeyword("tennis");
    EXPECT_EQ(Shown(), (Rows{0, 2, 4, 5}));
    table.Delete(0);
    EXPECT_EQ(Shown(), (Rows{1, 3, 4}));
    table.Reorder({5, 4, 3, 2, 1, 0});
    EXPECT_EQ(Shown(), (Rows{1, 2, 4}));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("GOLFING"));
    table.Delete(0); // hidden: the shown rows move up in the table
    EXPECT_EQ(Shown(), (Rows{0, 1, 3}));
    table.SetChecked(0, true);
    table.DeleteChecked();
    EXPECT_EQ(Shown(), (Rows{0, 2}));
}

// Typing letter by letter narrows from the rows shown; the result must equal a fresh filter.
TEST(FilteredTyping, NarrowingEqualsFilteringAfresh) {
    std::mt19937 rng(3);
    KeywordTable table;
    for (int i = 0; i < 2000; ++i) {
        std::string k;
        for (int n = 1 + static_cast<int>(rng() % 8); n > 0; --n)
            k.push_back("abAB c"[rng() % 6]);
        table.AppendKeyword(k);
    }
    KeywordModel model(table);
    for (const char* typed : {"a", "ab", "aba", "abab", "ab", "b", "b ", "B c"}) {
        model.SetFilter(typed);
        Rows shown;
        for (int r = 0; r < model.rowCount(); ++r)
            shown.push_back(model.SourceRow(r));
        EXPECT_EQ(shown, FilterRows(table, typed)) << typed;
    }
}

} // namespace
} // namespace vorlith
