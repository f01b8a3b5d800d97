#include "workspace/LiveImports.h"

#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/ListEditing.h"
#include "workspace/ResultsImport.h"
#include "workspace/TableWork.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

std::string Rows(const KeywordTable& table) {
    std::string out;
    for (int r = 0; r < table.RowCount(); ++r) {
        out += std::to_string(table.Id(r)) + "#" + table.Caption(r);
        for (int c = 0; c < CellCount; ++c)
            out += "|" + std::string(table.Cell(r, c));
        out += "\n";
    }
    return out;
}

struct ImportCase {
    const char* Name;
    const char* Text;
    bool Results; // Open Results, else Add Keywords' list file
    ImportOptions Options = {};
};

class LiveImport : public ::testing::TestWithParam<std::tuple<ImportCase, bool>> {};

// The worker's rows equal the import done at once, as one undo step with the same texts; Esc
// leaves the table and the history as they were.
TEST_P(LiveImport, AddsTodaysRowsOrLeavesTableAndHistoryUnchanged) {
    const auto& [c, cancel] = GetParam();
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("in.txt")).toStdString();
    // Long enough that the worker is still reading when the test looks.
    std::string text = c.Text + std::string(c.Results ? "" : "\n");
    for (int i = 0; i < 50'000; ++i)
        text += (c.Results ? "k" + std::to_string(i) + ",1" : "w" + std::to_string(i)) + "\n";
    std::ofstream(path) << text;
    test::ScriptedUi expectedUi, ui;
    Workspace expected{expectedUi, "/tmp"}, ws{ui, "/tmp"};
    for (Workspace* w : {&expected, &ws}) {
        w->table.AppendKeyword("Golf");
        w->SetSecondStatus("before");
    }
    std::optional<std::string> failed;
    if (c.Results)
        failed = OpenResultsFrom(expected, path);
    else
        AddKeywords(expected, AddKeywordsAnswer{"", path, c.Options});
    const std::string before = Rows(ws.table);
    const AddKeywordsAnswer answer{"", path, c.Options};
    bool done = false;
    auto run = [&]() -> QCoro::Task<void> {
        if (c.Results) {
            auto got = co_await OpenResultsFromLive(ws, path, 0);
            EXPECT_EQ(got, cancel ? std::nullopt : failed);
        } else {
            co_await AddKeywordsLive(ws, answer, 0);
        }
        done = true;
    };
    const auto running = run();
    ASSERT_TRUE(ws.Work.Busy());
    if (cancel) {
        EXPECT_EQ(Escape(ws), EscapeOutcome::CancelledWork);
    }
    test::RunLoopUntil([&] { return done; });
    EXPECT_FALSE(ws.table.Held());
    EXPECT_EQ(Rows(ws.table), cancel ? before : Rows(expected.table));
    EXPECT_EQ(ws.History.Count(), cancel ? 0u : expected.History.Count());
    EXPECT_EQ(ws.SecondStatusText(), cancel ? "before" : expected.SecondStatusText());
    if (!cancel && ws.History.CanUndo()) {
        ws.History.Undo();
        EXPECT_EQ(Rows(ws.table), before);
    }
    EXPECT_TRUE(ui.Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, LiveImport,
    ::testing::Combine(::testing::Values(ImportCase{"List", "salsa\r\n\r\n  golf \ngolf\n", false},
                                         ImportCase{"ListTrimmedSkippingBlankAndKnown",
                                                    "salsa\r\n\r\n  golf \ngolf\nSALSA", false,
                                                    ImportOptions{true, true, true}},
                                         ImportCase{"Results", "Keyword,Searches\n\"a, b\",7\n\nc,\n", true},
                                         ImportCase{"ResultsWrong", "Keyword,Searches\na,1\nb\n", true}),
                       ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).Name) + (std::get<1>(info.param) ? "Cancelled" : "");
    });

} // namespace
} // namespace vorlith
