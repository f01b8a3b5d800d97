#include "workspace/KeywordTable.h"

#include <QSignalSpy>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <random>
#include <set>

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
    QSignalSpy inserted(&table, &KeywordTable::RowsAppended);
    table.AppendMany(std::vector<Cells>(3));
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0), (QList<QVariant>{6, 8}));
    EXPECT_EQ(table.Caption(6), "7");
    EXPECT_EQ(table.Caption(8), "9");
}

TEST(KeywordTable, DeleteCheckedRemovesTickedRowsInOrderWithOneReset) {
    KeywordTable table;
    for (int i = 0; i < 5; ++i)
        table.AppendKeyword(std::to_string(i + 1));
    table.SetChecked(1, true);
    table.SetChecked(3, true);
    QSignalSpy reset(&table, &KeywordTable::TableReset);
    QSignalSpy removed(&table, &KeywordTable::RowsRemoved);
    EXPECT_EQ(table.DeleteChecked(), 2u);
    EXPECT_EQ(CaptionsOf(table), (std::vector<std::string>{"1", "3", "5"}));
    EXPECT_EQ(reset.count() + removed.count(), 1);
    EXPECT_EQ(table.DeleteChecked(), 0u);
}

TEST(KeywordTable, ReorderMovesWholeRows) {
    KeywordTable table;
    table.Append({"golf", "10", "", "", ""});
    table.Append({"soccer", "20", "", "", ""});
    table.Append({"tennis", "30", "", "", ""});
    table.SetChecked(0, true);
    QSignalSpy reordered(&table, &KeywordTable::RowsReordered);
    table.Reorder({2, 0, 1});
    EXPECT_EQ(CaptionsOf(table), (std::vector<std::string>{"3", "1", "2"}));
    EXPECT_EQ(table.Cell(1, 0), "golf");
    EXPECT_TRUE(table.Checked(1));
    EXPECT_EQ(reordered.count(), 1);
    EXPECT_THROW(table.Reorder({0, 0, 1}), std::invalid_argument);
    EXPECT_THROW(table.Reorder({0, 1}), std::invalid_argument);
}

TEST(KeywordTable, OutOfRangePositionsThrowInsteadOfCorrupting) {
    KeywordTable table;
    table.AppendKeyword("a");
    EXPECT_THROW(table.SetCell(1, 2, "x"), std::out_of_range);
    EXPECT_THROW(table.Delete(-1), std::out_of_range);
    EXPECT_THROW((void)table.Cell(0, 5), std::out_of_range);
}

TEST(KeywordTable, SetCheckedRowsTicksOnlyThoseRowsWithOneNoticeAndRefusesAStrayPosition) {
    KeywordTable table;
    for (int i = 0; i < 6; ++i)
        table.AppendKeyword("k");
    QSignalSpy changed(&table, &KeywordTable::CellsChanged);
    table.SetCheckedRows({4, 1, 2}, true);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).mid(0, 2), (QList<QVariant>{1, 4}));
    std::vector<bool> ticked;
    for (int r = 0; r < table.RowCount(); ++r)
        ticked.push_back(table.Checked(r));
    EXPECT_EQ(ticked, (std::vector<bool>{false, true, true, false, true, false}));
    EXPECT_THROW(table.SetCheckedRows({0, 6}, true), std::out_of_range);
    EXPECT_FALSE(table.Checked(0)) << "nothing is ticked when a position is out of range";
}

// The table keeps every cell's text in one arena: rewriting cells longer and shorter, deleting
// and reordering must never show one row's bytes in another, and holes must not pile up.
// From 100,000 rows the cycles of a reorder are walked in stretches on two threads: a shuffle (one
// long cycle), and pairs swapped around rows that stay (cycles that no stretch start reaches).
TEST(KeywordTable, ALargeReorderPutsEveryRowWhereAsked) {
    constexpr std::size_t rows = 120'000;
    std::vector<std::size_t> shuffled(rows);
    std::iota(shuffled.begin(), shuffled.end(), 0);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    std::vector<std::size_t> pairs(rows);
    std::iota(pairs.begin(), pairs.end(), 0);
    for (std::size_t r = 1; r + 1 < rows; r += 2)
        std::swap(pairs[r], pairs[r + 1]);
    for (const auto& order : {shuffled, pairs}) {
        KeywordTable table;
        for (std::size_t r = 0; r < rows; ++r)
            table.Append({std::to_string(r), "", "", "", std::to_string(r % 7)});
        table.Reorder(order);
        for (std::size_t r = 0; r < rows; ++r) {
            const int at = static_cast<int>(r);
            ASSERT_EQ(table.Cell(at, 0), std::to_string(order[r])) << "row " << r;
            ASSERT_EQ(table.Cell(at, 4), std::to_string(order[r] % 7)) << "row " << r;
            ASSERT_EQ(table.Number(at), order[r] + 1) << "row " << r;
        }
    }
}

TEST(KeywordTable, ArenaKeepsEveryCellThroughRewritesDeletesAndReorders) {
    std::mt19937 rng(16);
    auto text = [&] { return std::string(rng() % 40, static_cast<char>('a' + rng() % 26)); };
    KeywordTable table;
    std::vector<KeywordRow> model;
    for (int step = 0; step < 4000; ++step) {
        const int rows = table.RowCount();
        const unsigned op = rows < 3 ? 0 : rng() % 20;
        if (op <= 3) {
            Cells cells{text(), text(), text(), text(), text()};
            table.Append(cells);
            model.push_back({std::to_string(model.size() + 1), cells, false, {}});
        } else if (op <= 15) { // Gather Data's writes: the most common change
            const int row = static_cast<int>(rng() % rows), cell = static_cast<int>(rng() % CellCount);
            const std::string value = text();
            table.SetCell(row, cell, value);
            model[static_cast<std::size_t>(row)].Cell[static_cast<std::size_t>(cell)] = value;
        } else if (op <= 17) {
            const int row = static_cast<int>(rng() % rows);
            table.Delete(row);
            model.erase(model.begin() + row);
        } else if (op == 18) {
            std::vector<bool> marked(static_cast<std::size_t>(rows));
            for (std::size_t r = rng() % 20; r < marked.size(); r += 1 + rng() % 40)
                marked[r] = true;
            table.DeleteMarked(marked);
            std::vector<KeywordRow> kept;
            for (std::size_t r = 0; r < marked.size(); ++r)
                if (!marked[r])
                    kept.push_back(model[r]);
            model.swap(kept);
        } else {
            std::vector<std::size_t> order(static_cast<std::size_t>(rows));
            std::iota(order.begin(), order.end(), 0);
            std::shuffle(order.begin(), order.end(), rng);
            table.Reorder(order);
            std::vector<KeywordRow> moved;
            for (const std::size_t from : order)
                moved.push_back(model[from]);
            model.swap(moved);
        }
        ASSERT_EQ(table.RowCount(), static_cast<int>(model.size()));
        std::size_t live = 0;
        for (int r = 0; r < table.RowCount(); ++r) {
            ASSERT_EQ(table.Caption(r), model[static_cast<std::size_t>(r)].Caption) << "step " << step;
            for (int c = 0; c < CellCount; ++c) {
                ASSERT_EQ(table.Cell(r, c),
                          model[static_cast<std::size_t>(r)].Cell[static_cast<std::size_t>(c)])
                    << "step " << step << " row " << r << " cell " << c;
                live += table.Cell(r, c).size();
            }
        }
        ASSERT_EQ(table.TextBytes(), live);
        ASSERT_LE(table.ArenaBytes(), 4 * live + 16384) << "holes piled up at step " << step;
    }
}

// A run holds row ids across whatever the user does to the list meanwhile.
using IdCase = std::pair<const char*, std::function<void(KeywordTable&)>>;
class RowIds : public ::testing::TestWithParam<IdCase> {};

void Reverse(KeywordTable& table) {
    std::vector<std::size_t> order(static_cast<std::size_t>(table.RowCount()));
    std::iota(order.rbegin(), order.rend(), 0);
    table.Reorder(order);
}

std::vector<bool> EveryNth(const KeywordTable& table, std::size_t n, bool marked) {
    std::vector<bool> marks(static_cast<std::size_t>(table.RowCount()), !marked);
    for (std::size_t r = 0; r < marks.size(); r += n)
        marks[r] = marked;
    return marks;
}

TEST_P(RowIds, SurvivingRowsAreFoundByIdAndGoneOnesAreNot) {
    KeywordTable table;
    std::map<RowId, std::string> before;
    for (int i = 0; i < 3000; ++i) {
        table.AppendKeyword("k" + std::to_string(i));
        before[table.Id(i)] = table.Cell(i, 0);
    }
    GetParam().second(table);
    std::set<std::string> kept;
    for (int r = 0; r < table.RowCount(); ++r) {
        kept.insert(std::string(table.Cell(r, 0)));
        ASSERT_EQ(table.Find(table.Id(r)), r);
        ASSERT_TRUE(before.count(table.Id(r)) || table.Id(r) > before.rbegin()->first) << "an id reused";
    }
    for (const auto& [id, keyword] : before) {
        const int at = table.Find(id);
        ASSERT_EQ(at >= 0, kept.count(keyword) == 1) << keyword;
        ASSERT_TRUE(at < 0 || table.Cell(at, 0) == keyword) << keyword;
    }
    EXPECT_EQ(table.Find(0), -1);
    EXPECT_EQ(table.Find(before.rbegin()->first + 1000), -1) << "an id not given yet";
}

INSTANTIATE_TEST_SUITE_P(
    Table, RowIds,
    ::testing::Values(IdCase{"Reorder", Reverse},
                      IdCase{"DeleteChecked",
                             [](KeywordTable& t) {
                                 t.SetCheckedRows({0, 3, 2999}, true);
                                 t.DeleteChecked();
                             }},
                      IdCase{"DeleteMarked", [](KeywordTable& t) { t.DeleteMarked(EveryNth(t, 2, true)); }},
                      IdCase{"Delete", [](KeywordTable& t) { t.Delete(5); }},
                      IdCase{"DeleteAllThenAppend",
                             [](KeywordTable& t) {
                                 t.DeleteAll();
                                 t.AppendKeyword("after");
                             }},
                      // A lookup builds the index; what follows must keep it right or rebuild it.
                      IdCase{"LookupAfterReorderThenAppendAndDelete",
                             [](KeywordTable& t) {
                                 Reverse(t);
                                 (void)t.Find(1);
                                 t.AppendKeywords({"new1", "new2"});
                                 (void)t.Find(1);
                                 t.Delete(0);
                             }},
                      IdCase{"FewRowsLeftThenReorder", // ids far apart
                             [](KeywordTable& t) {
                                 t.DeleteMarked(EveryNth(t, 10, false));
                                 Reverse(t);
                                 (void)t.Find(1);
                                 t.AppendKeyword("new");
                             }}),
    [](const auto& info) { return std::string(info.param.first); });


std::string Keywords(const KeywordTable& table) {
    std::string out;
    for (int r = 0; r < table.RowCount(); ++r)
        out += std::string(table.Cell(r, 0)) + table.Caption(r) + " ";
    return out;
}

// Rows put back into a table that lost rows meanwhile go to their old places, or as near as the
// rows left allow; rows prepared against a table that grew meanwhile still go after it.
TEST(KeywordTableBlocks, PutBackAndPreparedRowsSurviveAChangedTable) {
    const struct {
        std::vector<bool> Taken;
        int DeletedAt, Deleted;
        const char* After;
    } cases[] = {{{false, true, false, false, true, true}, 1, 2, "a1 b2 e5 f6 "},
                 {{false, true, false, false, true, false}, 0, 1, "c3 b2 d4 f6 e5 "}};
    for (const auto& c : cases) {
        KeywordTable table;
        for (const char* k : {"a", "b", "c", "d", "e", "f"})
            table.AppendKeyword(k);
        RowBlock block = table.TakeMarked(c.Taken);
        for (int i = 0; i < c.Deleted; ++i)
            table.Delete(c.DeletedAt);
        table.PutBack(std::move(block));
        EXPECT_EQ(Keywords(table), c.After);
    }
    KeywordTable table;
    table.AppendKeyword("a");
    KeywordTable::PreparedRows rows;
    rows.LeaveRoom(static_cast<std::size_t>(table.RowCount()), table.ArenaUsed());
    rows.Add({"b", "1", "", "", "x"});
    rows.AddKeyword("c");
    table.AppendKeyword("late");
    table.AppendPrepared(std::move(rows));
    EXPECT_EQ(Keywords(table), "a1 late2 b3 c4 ");
    EXPECT_EQ(table.Cell(2, 4), "x");
    EXPECT_EQ(table.Find(table.Id(3)), 3);
}

} // namespace
} // namespace vorlith
