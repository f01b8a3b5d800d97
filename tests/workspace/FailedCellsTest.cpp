#include "workspace/KeywordTable.h"

#include <QColor>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

TEST(FailedCells, CarryTheirReasonUntilWrittenAndTravelWithTheirRow) {
    KeywordTable table;
    table.Append({"golf", "", "old", "", ""});
    table.Append({"chess", "", "", "", ""});
    table.MarkFailed(0, CellOf(Column::Google), "Connection error");
    table.MarkFailed(1, CellOf(Column::Msn), "Process aborted!");
    table.MarkFailed(1, CellOf(Column::Yahoo), "Connection error");
    EXPECT_EQ(table.FailedCount(), 3u);
    EXPECT_EQ(table.Cell(0, CellOf(Column::Google)), "old") << "the value stays";
    EXPECT_EQ(table.FailureReason(1, CellOf(Column::Msn)), "Process aborted!");
    EXPECT_EQ(table.FailureReason(1, CellOf(Column::Yahoo)), "Connection error");
    EXPECT_EQ(table.FailureReason(0, CellOf(Column::Yahoo)), "");

    // Shown: a tooltip with the reason and a tint; a cell never asked shows neither.
    const QModelIndex failed = table.index(0, static_cast<int>(Column::Google));
    EXPECT_TRUE(table.data(failed, Qt::ToolTipRole).toString().contains(QStringLiteral("Connection error")));
    EXPECT_TRUE(table.data(failed, Qt::BackgroundRole).canConvert<QColor>());
    EXPECT_FALSE(table.data(table.index(0, static_cast<int>(Column::Yahoo)), Qt::ToolTipRole).isValid());
    EXPECT_EQ(table.data(failed, Qt::DisplayRole).toString(), QStringLiteral("old"));

    table.Reorder({1, 0});
    EXPECT_EQ(table.FailureReason(0, CellOf(Column::Msn)), "Process aborted!");
    table.SetCell(0, CellOf(Column::Msn), "");
    EXPECT_FALSE(table.Failed(0, CellOf(Column::Msn))) << "an answer, even an empty one, clears the mark";
    EXPECT_EQ(table.FailedCount(), 2u);
    table.Delete(0);
    EXPECT_EQ(table.FailedCount(), 1u);
}

TEST(DeleteMarked, RemovesExactlyTheMarkedRowsInOrder) {
    KeywordTable table;
    for (const char* k : {"a", "b", "c", "d", "e"})
        table.AppendKeyword(k);
    EXPECT_EQ(table.DeleteMarked({false, true, false, true, true}), 3u);
    ASSERT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.Caption(0), "1");
    EXPECT_EQ(table.Caption(1), "3");
    EXPECT_EQ(table.DeleteMarked({false, false}), 0u);
    EXPECT_THROW(table.DeleteMarked({true}), std::invalid_argument);
}

} // namespace
} // namespace vorlith
