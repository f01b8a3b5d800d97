#include "workspace/History.h"

#include "support/ScriptedUi.h"
#include "workspace/Duplicates.h"
#include "workspace/ListEditing.h"
#include "workspace/Workspace.h"

#include <functional>
#include <gtest/gtest.h>
#include <numeric>

namespace vorlith {
namespace {

// Everything undo must bring back: id, number, cells, tick and failure marks, in order.
std::string Dump(const KeywordTable& table) {
    std::string out;
    for (int r = 0; r < table.RowCount(); ++r) {
        const KeywordRow row = table.Row(r);
        out += std::to_string(table.Id(r)) + "#" + row.Caption + (row.Checked ? "+" : "-");
        for (int c = 0; c < CellCount; ++c)
            out += "|" + row.Cell[static_cast<std::size_t>(c)] + (table.Failed(r, c) ? "!" : "");
        out += "\n";
    }
    return out;
}

struct EditCase {
    const char* Name;
    std::function<void(Workspace&, test::ScriptedUi&)> Edit;
    std::size_t Steps;                                // undo steps the edit leaves
    std::function<void(Workspace&)> Before = nullptr; // not undone: before the table is taken
};

class Undo : public ::testing::TestWithParam<EditCase> {
protected:
    void SetUp() override {
        for (const char* k : {"golf", "Golf", "salsa", "golf", "sale", "tennis"})
            ws.table.AppendKeyword(k);
        ws.table.SetCell(1, 1, "1,200");
        ws.table.MarkFailed(2, 2, "Connection error");
        ws.table.SetChecked(1, true);
        ws.table.SetChecked(4, true);
    }
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
};

TEST_P(Undo, UndoRestoresEveryRowAndRedoTheEdit) {
    if (GetParam().Before)
        GetParam().Before(ws);
    const std::string before = Dump(ws.table);
    GetParam().Edit(ws, ui);
    const std::string after = Dump(ws.table);
    ASSERT_NE(after, before);
    ASSERT_EQ(ws.History.Count(), GetParam().Steps);
    for (int round = 0; round < 2; ++round) {
        while (ws.History.CanUndo())
            ws.History.Undo();
        EXPECT_EQ(Dump(ws.table), before);
        while (ws.History.CanRedo())
            ws.History.Redo();
        EXPECT_EQ(Dump(ws.table), after);
    }
}

const auto Sorted = [](Workspace& ws) {
    std::vector<std::size_t> order(static_cast<std::size_t>(ws.table.RowCount()));
    std::iota(order.rbegin(), order.rend(), 0);
    ws.table.Reorder(order);
};

INSTANTIATE_TEST_SUITE_P(Table, Undo,
                         ::testing::Values(EditCase{"DeleteSelected",
                                                    [](Workspace& ws, test::ScriptedUi& ui) {
                                                        ui.AnswerMessage(std::string(DeleteSelectedQuestion));
                                                        DeleteSelected(ws);
                                                    },
                                                    1},
                                           EditCase{"DeleteAll",
                                                    [](Workspace& ws, test::ScriptedUi& ui) {
                                                        ui.AnswerMessage(std::string(DeleteAllQuestion));
                                                        DeleteAll(ws);
                                                    },
                                                    1},
                                           EditCase{"DeleteOneRowFromTheMenu",
                                                    [](Workspace& ws, test::ScriptedUi& ui) {
                                                        ui.AnswerMessage(std::string(DeleteSelectedQuestion));
                                                        DeleteRows(ws, {3});
                                                    },
                                                    1},
                                           EditCase{"RemoveDuplicatesThenAdd",
                                                    [](Workspace& ws, test::ScriptedUi& ui) {
                                                        ui.AnswerMessage("2 duplicate keywords removed.");
                                                        RemoveDuplicates(ws);
                                                        AddKeywords(ws, AddKeywordsAnswer{"new one", ""});
                                                    },
                                                    2},
                                           EditCase{"RunWritesCellsAndACommandSplitsIt",
                                                    [](Workspace& ws, test::ScriptedUi& ui) {
                                                        const auto run = ws.History.Run("Gather Data");
                                                        ws.table.SetCell(2, 1, "5");
                                                        ws.table.SetCell(0, 2, "7");
                                                        ui.AnswerMessage(std::string(DeleteSelectedQuestion));
                                                        DeleteRows(ws, {2});
                                                        ws.table.MarkFailed(0, 3, "Stopped");
                                                        ws.table.SetCell(0, 2, "8");
                                                    },
                                                    3},
                                           EditCase{"HarvestAppendsOneByOne",
                                                    [](Workspace& ws, test::ScriptedUi&) {
                                                        const auto run = ws.History.Run("Gather Keywords");
                                                        for (const char* k : {"a", "b", "c"})
                                                            ws.table.Append({k, "10", "", "", ""});
                                                    },
                                                    1},
                                           EditCase{"DeleteAfterASortPutsRowsBackInTheSortedOrder",
                                                    [](Workspace& ws, test::ScriptedUi& ui) {
                                                        ui.AnswerMessage(std::string(DeleteSelectedQuestion));
                                                        DeleteSelected(ws);
                                                    },
                                                    1, Sorted}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(UndoHistory, ARecordedStepDropsTheUndoneOnesAndUnrecordedEditsAreNotReplayed) {
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
    AddKeywords(ws, AddKeywordsAnswer{"one", ""});
    AddKeywords(ws, AddKeywordsAnswer{"two", ""});
    ASSERT_TRUE(ws.History.Undo());
    AddKeywords(ws, AddKeywordsAnswer{"three", ""});
    EXPECT_FALSE(ws.History.CanRedo());
    ws.table.AppendKeyword("outside any step");
    ASSERT_TRUE(ws.History.Undo());
    ASSERT_TRUE(ws.History.Undo());
    EXPECT_FALSE(ws.History.Undo());
    ASSERT_EQ(ws.table.RowCount(), 1);
    EXPECT_EQ(ws.table.Cell(0, 0), "outside any step");
}

TEST(UndoHistory, DeleteAllMovesTheRowsOverInsteadOfCopyingThem) {
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
    std::vector<std::string> keywords(20000, "a keyword of some length");
    ws.table.AppendKeywords({keywords.begin(), keywords.end()});
    const std::size_t held = ws.table.ArenaBytes() + 40u * 20000;
    ui.AnswerMessage(std::string(DeleteAllQuestion));
    DeleteAll(ws);
    EXPECT_LE(ws.History.Bytes(), held + 4096);
    ws.History.Undo();
    EXPECT_LE(ws.History.Bytes(), 4096u);
    EXPECT_EQ(ws.table.Find(20000), 19999);
}

} // namespace
} // namespace vorlith
