#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/Duplicates.h"
#include "workspace/HiddenRows.h"
#include "workspace/ListEditing.h"
#include "workspace/TableWork.h"
#include "workspace/Workspace.h"

#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace vorlith {
namespace {

// Keywords in order, a ticked one marked with '+'.
std::string Rows(const KeywordTable& table) {
    std::string out;
    for (int r = 0; r < table.RowCount(); ++r)
        out += std::string(table.Cell(r, 0)) + (table.Checked(r) ? "+ " : " ");
    return out;
}

struct FilterCase {
    const char* Name;
    std::function<void(Workspace&, test::ScriptedUi&)> Command;
    std::string After;
};

class UnderAFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(UnderAFilter, HiddenRowsChangeOnlyWhenTheUserAgreed) {
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
    for (const char* k : {"golf", "salsa", "sale", "tennis", "salad", "golf", "Sale"})
        ws.table.AppendKeyword(k);
    ws.table.SetChecked(0, true);
    ws.table.SetChecked(1, true);
    ws.Filter = "sal";
    GetParam().Command(ws, ui);
    EXPECT_EQ(Rows(ws.table), GetParam().After);
    EXPECT_TRUE(ui.ScriptDone());
}

const std::string HiddenTicked =
    "The filter hides 1 of the 2 rows ticked. Delete the 1 row hidden too? No deletes "
    "only the 1 row shown.";

INSTANTIATE_TEST_SUITE_P(
    Table, UnderAFilter,
    ::testing::Values(
        FilterCase{"SelectAllTicksTheShownRows", [](Workspace& ws, test::ScriptedUi&) { SelectAll(ws); },
                   "golf+ salsa+ sale+ tennis salad+ golf Sale+ "},
        FilterCase{"ClearSelectionUnticksTheShownRows",
                   [](Workspace& ws, test::ScriptedUi&) { ClearSelection(ws); },
                   "golf+ salsa sale tennis salad golf Sale "},
        FilterCase{
            "DeleteSelectedYesTakesTheHiddenToo",
            [](Workspace& ws, test::ScriptedUi& ui) {
                ui.AnswerMessage(HiddenTicked, mrYes).AnswerMessage(std::string(DeleteSelectedQuestion));
                DeleteSelected(ws);
            },
            "sale tennis salad golf Sale "},
        FilterCase{
            "DeleteSelectedNoKeepsTheHidden",
            [](Workspace& ws, test::ScriptedUi& ui) {
                ui.AnswerMessage(HiddenTicked, mrNo).AnswerMessage(std::string(DeleteSelectedQuestion));
                DeleteSelected(ws);
            },
            "golf+ sale tennis salad golf Sale "},
        FilterCase{"DeleteSelectedCancelEndsIt",
                   [](Workspace& ws, test::ScriptedUi& ui) {
                       ui.AnswerMessage(HiddenTicked, mrCancel);
                       DeleteSelected(ws);
                   },
                   "golf+ salsa+ sale tennis salad golf Sale "},
        FilterCase{"RemoveDuplicatesSaysHowManyAreHidden",
                   [](Workspace& ws, test::ScriptedUi& ui) {
                       ui.AnswerMessage(
                             "Remove Duplicates will remove 2 rows, 1 of them hidden by the filter.")
                           .AnswerMessage("2 duplicate keywords removed.");
                       RemoveDuplicates(ws);
                   },
                   "golf+ salsa+ sale tennis salad "},
        FilterCase{"RemoveDuplicatesCancelled",
                   [](Workspace& ws, test::ScriptedUi& ui) {
                       ui.AnswerMessage(
                           "Remove Duplicates will remove 2 rows, 1 of them hidden by the filter.", mrCancel);
                       RemoveDuplicates(ws);
                   },
                   "golf+ salsa+ sale tennis salad golf Sale "}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Escape, CancelsTableWorkThenStopsARunThenClearsTheFilter) {
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
    EXPECT_EQ(Escape(ws), EscapeOutcome::ClearFilter);
    {
        const auto running = ws.Runs.Begin(RunKind::GatherKeywords);
        EXPECT_EQ(Escape(ws), EscapeOutcome::StoppedRun);
        EXPECT_TRUE(ws.Runs.Aborted());
    }
    bool sawCancel = false;
    auto work = ws.Work.Run(
        [&](TableWork::Control& control) {
            while (!control.Cancelled)
                std::this_thread::yield();
            sawCancel = true;
        },
        nullptr);
    test::RunLoopUntil([&] { return ws.Work.Busy(); });
    EXPECT_EQ(Escape(ws), EscapeOutcome::CancelledWork);
    EXPECT_FALSE(test::Await(std::move(work)));
    EXPECT_TRUE(sawCancel);
    EXPECT_FALSE(ws.Work.Busy());
}

} // namespace
} // namespace vorlith
