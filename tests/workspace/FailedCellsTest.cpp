#include "workspace/KeywordTable.h"

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
