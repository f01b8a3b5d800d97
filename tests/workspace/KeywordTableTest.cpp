#include "workspace/KeywordTable.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

std::vector<std::string> CaptionsOf(const KeywordTable& table) {
    std::vector<std::string> out;
    for (const auto& row : table.Rows())
        out.push_back(row.Caption);
    return out;
}

TEST(KeywordTable, NumbersEachRowByTheCountBeforeItAndNeverRenumbers) {
    KeywordTable table;
    table.AppendKeyword("a");
    table.AppendKeyword("b");
    table.AppendKeyword("c");
    EXPECT_EQ(CaptionsOf(table), (std::vector<std::string>{"1", "2", "3"}));

    table.Delete(1);
    table.AppendKeyword("d");
    EXPECT_EQ(CaptionsOf(table), (std::vector<std::string>{"1", "3", "3"}));
    EXPECT_EQ(table.Cell(2, 0), "d");
    for (int cell = 1; cell < CellCount; ++cell)
        EXPECT_EQ(table.Cell(2, cell), "");
    EXPECT_FALSE(table.Checked(2));
}

TEST(KeywordTable, BulkAppendNumbersLikeSingleAppendsAndSignalsOnce) {
    KeywordTable table;
    for (int i = 0; i < 7; ++i)
        table.AppendKeyword("k");
    table.Delete(0);
    QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
    table.AppendMany(std::vector<Cells>(3));
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(table.Caption(6), "7");
    EXPECT_EQ(table.Caption(8), "9");
}

TEST(KeywordTable, DeleteIfRemovesPickedRowsInOrderWithOneReset) {
    KeywordTable table;
    for (int i = 0; i < 5; ++i)
        table.AppendKeyword(std::to_string(i + 1));
    table.SetChecked(1, true);
    table.SetChecked(3, true);
    QSignalSpy reset(&table, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&table, &QAbstractItemModel::rowsRemoved);
    EXPECT_EQ(table.DeleteIf([](const KeywordRow& r) { return r.Checked; }), 2u);
    EXPECT_EQ(CaptionsOf(table), (std::vector<std::string>{"1", "3", "5"}));
    EXPECT_EQ(reset.count() + removed.count(), 1);
    EXPECT_EQ(table.DeleteIf([](const KeywordRow& r) { return r.Checked; }), 0u);
}

TEST(KeywordTable, ReorderMovesWholeRowsAndKeepsPersistentIndexes) {
    KeywordTable table;
    table.Append({"golf", "10", "", "", ""});
    table.Append({"soccer", "20", "", "", ""});
    table.Append({"tennis", "30", "", "", ""});
    table.SetChecked(0, true);
    QPersistentModelIndex golf = table.index(0, 1);
    table.Reorder({2, 0, 1});
    EXPECT_EQ(CaptionsOf(table), (std::vector<std::string>{"3", "1", "2"}));
    EXPECT_EQ(table.Cell(1, 0), "golf");
    EXPECT_TRUE(table.Checked(1));
    EXPECT_EQ(golf.row(), 1);
    EXPECT_THROW(table.Reorder({0, 0, 1}), std::invalid_argument);
    EXPECT_THROW(table.Reorder({0, 1}), std::invalid_argument);
}

TEST(KeywordTable, ModelShowsHeadersCellsAndTheCheckBoxInColumnZero) {
    KeywordTable table;
    table.Append({"golf clubs", "1,234", "985", "", "77"});
    const std::vector<std::string> headers{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
    for (int c = 0; c < ColumnCount; ++c)
        EXPECT_EQ(table.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(), headers[c]);
    EXPECT_EQ(table.data(table.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("1"));
    EXPECT_EQ(table.data(table.index(0, 2), Qt::DisplayRole).toString(), QStringLiteral("1,234"));
    EXPECT_TRUE(table.flags(table.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(table.flags(table.index(0, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(table.setData(table.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Checked(0));
    EXPECT_FALSE(table.setData(table.index(0, 1), QStringLiteral("x"), Qt::EditRole));
}

TEST(KeywordTable, OutOfRangePositionsThrowInsteadOfCorrupting) {
    KeywordTable table;
    table.AppendKeyword("a");
    EXPECT_THROW(table.SetCell(1, 2, "x"), std::out_of_range);
    EXPECT_THROW(table.Delete(-1), std::out_of_range);
    EXPECT_THROW((void)table.Cell(0, 5), std::out_of_range);
}

} // namespace
} // namespace vorlith
