#include "workspace/LiveExport.h"

#include "harvest/Harvest.h"
#include "stats/GatherData.h"
#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/ColumnSorting.h"
#include "workspace/Duplicates.h"
#include "workspace/ListEditing.h"
#include "workspace/LiveImports.h"
#include "workspace/ResultsExport.h"
#include "workspace/ResultsImport.h"
#include "workspace/RowFilter.h"
#include "workspace/Workspace.h"
#include "workspace/XlsxExport.h"

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

constexpr const char* BusyText = "Wait for the table work under way to end, or press Esc to cancel it.";

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct LiveSaveFixture : ::testing::Test {
    void Fill(int rows) {
        std::vector<Cells> cells;
        for (int r = 0; r < rows; ++r)
            cells.push_back(
                {r % 3 ? "golf \"" + std::to_string(r) : "=tennis", std::to_string(r), "", "", ""});
        ws.table.AppendMany(cells);
    }
    std::string Target() const { return dir.filePath(QStringLiteral("out.csv")).toStdString(); }
    void Await() {
        test::RunLoopUntil([&] { return !ws.Work.Busy() && !ws.table.Held(); });
    }
    QTemporaryDir dir;
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
};

using Save = QCoro::Task<void> (*)(Workspace&, int);
class LiveSave : public LiveSaveFixture, public ::testing::WithParamInterface<std::tuple<Save, bool>> {};

// The worker writes today's bytes and marks the work saved as today; Esc leaves the old file whole
// and no temporary beside it.
TEST_P(LiveSave, WritesTodaysBytesOrLeavesTheOldFile) {
    const auto [save, cancel] = GetParam();
    const bool shown = save == &SaveShownLive;
    Fill(cancel ? 200'000 : 40);
    ws.Filter = "golf";
    { std::ofstream(Target()) << "old"; }
    ui.AnswerSaveFile(dir.filePath(QStringLiteral("out")).toStdString());
    auto running = save(ws, 0);
    // The dialog is answered once the shown rows are known (a worker's turn for Save Shown).
    test::RunLoopUntil([&] { return ui.ScriptDone(); });
    if (cancel) {
        EXPECT_EQ(Escape(ws), EscapeOutcome::CancelledWork);
    }
    Await();
    const std::vector<int> rows = ShownRows(ws);
    EXPECT_EQ(Slurp(Target()), cancel ? "old" : shown ? ResultsCsv(ws.table, rows) : ResultsCsv(ws.table));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("out.csv")});
    EXPECT_EQ(ws.SaveDialogFileName, Target());
    EXPECT_EQ(ws.HasUnsavedRows(), cancel || shown);
    if (cancel)
        EXPECT_EQ(ui.Status[StatusPanel::Main], SaveCancelledText);
    else
        EXPECT_TRUE(ui.StatusLog.empty()); // as today, a save reports nothing
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_TRUE(ui.Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Saves, LiveSave,
                         ::testing::Combine(::testing::Values(&SaveResultsLive, &SaveShownLive),
                                            ::testing::Bool()));

TEST_F(LiveSaveFixture, SaveShownWithNothingShownSaysSoAndAsksNoFile) {
    Fill(10);
    ws.Filter = "nowhere";
    ui.AnswerMessage(std::string(NoDataToSaveMessage));
    auto running = SaveShownLive(ws, 0);
    Await();
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_TRUE(ui.SaveDialogStarts.empty());
}

TEST_F(LiveSaveFixture, CopyRowsGivesTodaysTextOrNothingOnEsc) {
    Fill(10);
    const std::vector<int> rows{1, 4, 7};
    for (const bool cancel : {false, true}) {
        std::optional<QString> text;
        auto copy = [&]() -> QCoro::Task<void> { text = co_await RowsTextLive(ws, rows, 0); };
        auto running = copy();
        if (cancel)
            Escape(ws);
        Await();
        EXPECT_EQ(text, cancel ? std::nullopt : std::optional(QString::fromUtf8(RowsText(ws.table, rows))));
    }
}

// While a worker reads the table, a command that would write to it, or start other work, says
// the busy text and changes nothing; it asks no question and raises no error.
TEST_F(LiveSaveFixture, CommandsWaitPolitelyWhileAWorkerReads) {
    Fill(10);
    const std::function<void(Workspace&)> commands[] = {
        [](Workspace& w) { AddKeywords(w); },
        [](Workspace& w) { OpenResults(w); },
        [](Workspace& w) { w.Runs.Adopt(AddKeywordsLive(w)); },
        [](Workspace& w) { w.Runs.Adopt(OpenResultsLive(w)); },
        [](Workspace& w) { DeleteRows(w, {0}); },
        [](Workspace& w) { SetRowsChecked(w, {0}, true); },
        [](Workspace& w) { GatherDataOrStop(w); },
        [](Workspace& w) { RetryFailed(w); },
        [](Workspace& w) { w.Runs.Adopt(GatherKeywords(w)); },
        [](Workspace& w) { w.Runs.Adopt(SaveResultsLive(w, 0)); },
        [](Workspace& w) { w.Runs.Adopt(SaveShownLive(w, 0)); },
        [](Workspace& w) { w.Runs.Adopt(RowsTextLive(w, {0}, 0)); },
        [](Workspace& w) { w.Runs.Adopt(ExportXlsx(w)); },
        [](Workspace& w) { w.Runs.Adopt(SortByColumnLive(w, 1, 0)); },
        [](Workspace& w) { w.Runs.Adopt(RemoveDuplicatesLive(w, 0)); },
    };
    ws.MainKeyword = "golf";
    const std::string before = ResultsCsv(ws.table);
    auto reading = SortByColumnLive(ws, 2, 0);
    for (const auto& command : commands) {
        ui.Status[StatusPanel::Main].clear();
        command(ws);
        EXPECT_EQ(ui.Status[StatusPanel::Main], BusyText);
    }
    Escape(ws);
    Await();
    EXPECT_EQ(ResultsCsv(ws.table), before);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_TRUE(ui.Errors.empty());
}

// Esc is seen inside the long reads, not only once they end.
TEST(StopFlag, EndsTheLongReadsEarly) {
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
    ws.table.AppendMany({{"b", "2", "", "", ""}, {"a", "1", "", "", ""}});
    const std::atomic<bool> stop{true};
    const std::function<void()> reads[] = {
        [&] { SortOrder(ws.table, 1, true, QLocale::system(), &stop); },
        [&] { SortOrder(ws.table, 2, true, QLocale::system(), &stop); },
        [&] {
            ws.table.PrepareReorder({1, 0}, &stop);
        },
        [&] { DuplicateRows(ws.table, QLocale::system(), &stop); },
        [&] { DuplicateRows(ws.table, QLocale(QLocale::Turkish), &stop); },
    };
    for (const auto& read : reads)
        EXPECT_THROW(read(), WorkStopped);
}

} // namespace
} // namespace vorlith
