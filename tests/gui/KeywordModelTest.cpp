// The list's model: what the window shows of the keyword table, through the filter. The window's
// tests check its headers.
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

Rows Shown(const KeywordModel& model) {
    Rows rows;
    for (int r = 0; r < model.rowCount(); ++r)
        rows.push_back(model.SourceRow(r));
    return rows;
}

// Golf in rows 0, 2 and 4; the first row has figures.
class Model : public ::testing::Test {
protected:
    Model() {
        table.Append({"golf", "1,234", "old", "", "77"});
        for (const char* k : {"chess", "Golf clubs", "go", "mini golf"})
            table.AppendKeyword(k);
    }
    QVariant Data(int row, int column, int role = Qt::DisplayRole) const {
        return model.index(row, column).data(role);
    }
    std::string Text(int row, int column) const { return Data(row, column).toString().toStdString(); }
    KeywordTable table;
    KeywordModel model{table};
    // Aborts on a notice that breaks the item model protocol a view relies on.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(Model, ShowsCellsTakesTicksInColumnZeroAndPassesChangesOnFilteredOrNot) {
    EXPECT_EQ(Text(0, 0), "1");
    EXPECT_EQ(Text(0, 2), "1,234");
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Checked(0));
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("x"), Qt::EditRole));

    model.SetFilter("golf");
    ASSERT_TRUE(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Checked(2));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    table.SetCell(4, 2, "123");
    table.SetCell(1, 2, "hidden row");
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>().row(), 2);
}

TEST_F(Model, FailedCellsShowTheReasonAndATint) {
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    table.MarkFailed(0, CellOf(Column::Google), "Connection error");
    table.MarkFailed(0, CellOf(Column::Msn), "Process aborted!");
    ASSERT_EQ(changed.count(), 2);
    EXPECT_TRUE(changed.at(1).at(2).value<QList<int>>().contains(Qt::ToolTipRole));
    // A cell never asked shows neither the reason nor the tint.
    const int google = static_cast<int>(Column::Google);
    EXPECT_TRUE(Data(0, google, Qt::ToolTipRole).toString().contains(QStringLiteral("Connection error")));
    EXPECT_TRUE(Data(0, google, Qt::BackgroundRole).canConvert<QColor>());
    EXPECT_FALSE(Data(0, static_cast<int>(Column::Yahoo), Qt::ToolTipRole).isValid());
    EXPECT_EQ(Text(0, google), "old");
    table.SetCell(0, CellOf(Column::Google), "12");
    EXPECT_FALSE(Data(0, google, Qt::BackgroundRole).isValid()) << "an answer clears the tint";
}

TEST_F(Model, FilterNarrowsWidensAndMapsBothWays) {
    EXPECT_EQ(Text(2, 1), "Golf clubs");
    EXPECT_EQ(model.ShownRow(4), 4);
    model.SetFilter("g");
    EXPECT_EQ(Shown(model), (Rows{0, 2, 3, 4}));
    model.SetFilter("gol");
    EXPECT_EQ(Shown(model), (Rows{0, 2, 4}));
    EXPECT_EQ(model.ShownRow(2), 1);
    EXPECT_EQ(model.ShownRow(1), -1);
    EXPECT_EQ(Text(1, 0), "3");
    model.SetFilter("s");
    EXPECT_EQ(Shown(model), (Rows{1, 2}));
    model.SetFilter("");
    EXPECT_EQ(model.rowCount(), 5);
    table.Delete(1);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(Text(1, 1), "Golf clubs");
}

TEST_F(Model, FilteredFollowsAppendsDeletesAndSorts) {
    model.SetFilter("golf");
    table.AppendKeyword("GOLFING");
    table.AppendKeyword("tennis");
    EXPECT_EQ(Shown(model), (Rows{0, 2, 4, 5}));
    table.Delete(0);
    EXPECT_EQ(Shown(model), (Rows{1, 3, 4}));
    table.Reorder({5, 4, 3, 2, 1, 0});
    EXPECT_EQ(Shown(model), (Rows{1, 2, 4}));
    EXPECT_EQ(Text(0, 1), "GOLFING");
    table.Delete(0); // hidden: the shown rows move up in the table
    EXPECT_EQ(Shown(model), (Rows{0, 1, 3}));
    table.SetChecked(0, true);
    table.DeleteChecked();
    EXPECT_EQ(Shown(model), (Rows{0, 2}));
}

// A sort keeps the view's selection and current cell on their rows, filtered or not.
TEST(KeywordModel, ReorderKeepsPersistentIndexesOnTheirRows) {
    for (const char* filter : {"", "o"}) {
        KeywordTable table;
        table.AppendKeywords({"golf", "soccer", "tennis", "polo"});
        KeywordModel model(table);
        model.SetFilter(filter);
        QPersistentModelIndex golf = model.index(0, 1);
        table.Reorder({2, 3, 0, 1});
        EXPECT_EQ(golf.data().toString(), QStringLiteral("golf")) << filter;
        EXPECT_EQ(golf.row(), model.ShownRow(2)) << filter;
    }
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
        EXPECT_EQ(Shown(model), FilterRows(table, typed)) << typed;
    }
}

} // namespace
} // namespace vorlith
