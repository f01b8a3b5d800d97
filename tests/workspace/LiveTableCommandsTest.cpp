#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/ColumnSorting.h"
#include "workspace/Duplicates.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/TableWork.h"
#include "workspace/Workspace.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace vorlith {
namespace {

std::string Rows(const KeywordTable& table) {
    std::string out;
    for (int r = 0; r < table.RowCount(); ++r)
        out += table.Caption(r) + ":" + std::string(table.Cell(r, 0)) + "/" + std::string(table.Cell(r, 1)) + " ";
    return out;
}

void Fill(Workspace& ws) {
    const char* rows[][2] = {{"salsa", "30"}, {"Golf", "7"}, {"tennis", "1,200"}, {"golf", "7"}, {"Salsa", "x1F"}};
    for (const auto& row : rows)
        ws.table.Append({row[0], row[1], "", "", ""});
}

struct LiveCase {
    const char* Name;
    const char* Message; // what the command says when done, if anything
    std::function<void(Workspace&)> AtOnce;
    std::function<QCoro::Task<void>(Workspace&)> Live;
};

class LiveTableCommand : public ::testing::TestWithParam<std::tuple<LiveCase, bool>> {};

// The worker's result, applied, equals the command done at once; Esc leaves the table and the sort
// state untouched; nothing changes the rows while the worker reads them.
TEST_P(LiveTableCommand, AppliesTodaysResultOrLeavesTheTableUnchanged) {
    const auto& [command, cancel] = GetParam();
    test::ScriptedUi expectedUi, ui;
    Workspace expected{expectedUi, "/tmp"}, ws{ui, "/tmp"};
    Fill(expected);
    Fill(ws);
    ws.SortColumn = expected.SortColumn = 2;
    const std::string before = Rows(ws.table);
    if (command.Message) {
        expectedUi.AnswerMessage(command.Message);
        if (!cancel)
            ui.AnswerMessage(command.Message);
    }
    command.AtOnce(expected);

    auto running = command.Live(ws);
    ASSERT_TRUE(ws.Work.Busy());
    for (const auto& change : std::vector<std::function<void(KeywordTable&)>>{
             [](KeywordTable& t) { t.DeleteAll(); }, [](KeywordTable& t) { t.SetAllChecked(true); },
             [](KeywordTable& t) { t.AppendKeyword("x"); }, [](KeywordTable& t) { t.SetCell(0, 0, "x"); }})
        EXPECT_THROW(change(ws.table), std::logic_error);
    const auto refused = SortByColumnLive(ws, 1, 0);
    EXPECT_EQ(ui.Status[StatusPanel::Main], "Wait for the table work under way to end, or press Esc to cancel it.");
    if (cancel) {
        EXPECT_EQ(Escape(ws), EscapeOutcome::CancelledWork);
    }
    test::RunLoopUntil([&] { return !ws.Work.Busy() && !ws.table.Held(); });

    EXPECT_EQ(Rows(ws.table), cancel ? before : Rows(expected.table));
    EXPECT_EQ(ws.SortColumn, cancel ? 2 : expected.SortColumn);
    EXPECT_EQ(ws.SortAscending, cancel ? false : expected.SortAscending);
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_TRUE(ui.Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LiveTableCommand,
    ::testing::Combine(
        ::testing::Values(
            LiveCase{"SortKeywords", nullptr, [](Workspace& w) { SortByColumn(w, 1); },
                     [](Workspace& w) { return SortByColumnLive(w, 1, 0); }},
            LiveCase{"SortSearchesFlipped", nullptr, [](Workspace& w) { SortByColumn(w, 2); },
                     [](Workspace& w) { return SortByColumnLive(w, 2, 0); }},
            LiveCase{"RemoveDuplicates", "2 duplicate keywords removed.", [](Workspace& w) { RemoveDuplicates(w); },
                     [](Workspace& w) { return RemoveDuplicatesLive(w, 0); }}),
        ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).Name) + (std::get<1>(info.param) ? "Cancelled" : "Applied");
    });

} // namespace
} // namespace vorlith
