#include "commands/WindowCommands.h"

#include "support/Await.h"
#include "support/BrandingFixture.h"
#include "support/ScriptedUi.h"
#include "workspace/ColumnSorting.h"
#include "workspace/ListEditing.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::BrandingTest;
using test::ScriptedUi;

TEST(Workspace, StartsEmptyAndStartUpSetsTheSortStateThenArmsTheTimer) {
    ScriptedUi ui;
    Workspace ws(ui, "/opt/vorlith");
    EXPECT_EQ(ws.ProgramFolder, "/opt/vorlith/");
    EXPECT_FALSE(ws.Runs.Aborted());
    EXPECT_EQ(ws.SearchMode, 0);
    EXPECT_TRUE(ws.MainKeyword.empty() && ws.AffiliateID.empty() && ws.BannerURL.empty() &&
                ws.BannerPath.empty() && ws.Link1URL.empty() && ws.Link2URL.empty() && ws.Link1Name.empty() &&
                ws.Link2Name.empty() && ws.IconPath.empty());
    EXPECT_EQ(ws.table.RowCount(), 0);
    EXPECT_EQ(ws.MainStatusText(), "");
    EXPECT_EQ(ws.MainKeywordStatusText(), "Main Keyword: ");
    EXPECT_EQ(ws.SecondStatusText(), "0 item listed");

    StartUp(ws);
    EXPECT_EQ(ws.SortColumn, -1);
    EXPECT_TRUE(ws.SortAscending);
    EXPECT_EQ(ui.TimerArms, 1);
}

TEST_F(BrandingTest, AnErrorDuringStartUpLeavesTheTimerUnarmed) {
    Config("BannerPath1=banner.jpg\r\n");
    Write("dbimg1.dat", "this is no JPEG");
    EXPECT_THROW(StartUp(ws()), std::runtime_error);
    EXPECT_EQ(ws().SortColumn, -1);
    EXPECT_TRUE(ws().SortAscending);
    EXPECT_EQ(ui.TimerArms, 0);
    EXPECT_TRUE(Exists("dbimg1.dat"));
    EXPECT_FALSE(Exists("banner.jpg"));
}

TEST_F(BrandingTest, TheStartupTimerChecksSilently) {
    // The compiled-in update folder lies under a reserved name: nothing is asked, nothing shown.
    StartupUpdateCheck(ws());
    test::AwaitRuns(ws(), ui);
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(BrandingTest, ClosingStopsARunBetweenTwoRequests) {
    {
        const auto running = ws().Runs.Begin(RunKind::GatherData);
        // The window waits for the run to end before it goes.
        EXPECT_FALSE(StopForClosing(ws()));
        EXPECT_TRUE(ws().Runs.Aborted());
    }
    EXPECT_TRUE(StopForClosing(ws()));
}

// ---- Closing over unsaved work

struct CloseCase {
    const char* Name;
    // What the user did before closing, in a workspace over the given folder.
    std::function<void(Workspace&, ScriptedUi&, const std::string& folder)> Before;
    bool Asks;
};

class Closing : public ::testing::TestWithParam<std::tuple<CloseCase, int>> {};

void Save(Workspace& ws, ScriptedUi& ui, const std::string& path) {
    ui.AnswerSaveFile(path);
    SaveResults(ws);
}

TEST_P(Closing, AsksOnlyWhenWorkWouldBeLost) {
    const auto& [c, answer] = GetParam();
    QTemporaryDir folder;
    ScriptedUi ui;
    Workspace ws(ui, folder.path().toStdString());
    c.Before(ws, ui, ws.ProgramFolder);
    if (c.Asks)
        ui.AnswerMessage(std::string(UnsavedWorkQuestion), answer);
    const std::size_t before = ui.Messages.size();
    const bool closes = MayClose(ws);
    ASSERT_EQ(ui.Messages.size(), before + (c.Asks ? 1 : 0));
    if (c.Asks) {
        EXPECT_EQ(ui.Messages.back().Kind, MessageKind::Warning);
        EXPECT_EQ(ui.Messages.back().Buttons, MessageButtons::OkCancel);
        EXPECT_EQ(closes, answer == mrOk);
    } else {
        EXPECT_TRUE(closes);
    }
    EXPECT_TRUE(ui.ScriptDone());
}

const CloseCase closeCases[] = {
    {"NothingDone", [](Workspace&, ScriptedUi&, const std::string&) {}, false},
    {"RowsAdded", [](Workspace& ws, ScriptedUi&, const std::string&) { ws.table.AppendKeyword("golf"); },
     true},
    {"SavedAfterAdding",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeyword("golf");
         Save(ws, ui, folder + "out.csv");
     },
     false},
    {"CellChangedAfterSaving",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeyword("golf");
         Save(ws, ui, folder + "out.csv");
         ws.table.SetCell(0, CellOf(Column::Google), "1,200");
     },
     true},
    {"RowAddedAfterSaving",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeyword("golf");
         Save(ws, ui, folder + "out.csv");
         ws.table.AppendKeyword("tennis");
     },
     true},
    {"TickedAndSortedAfterSaving",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeywords({"tennis", "golf"});
         Save(ws, ui, folder + "out.csv");
         SelectAll(ws);
         SortByColumn(ws, static_cast<int>(Column::Keywords));
     },
     false},
    {"SomeRowsDeletedAfterSaving",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeywords({"tennis", "golf"});
         Save(ws, ui, folder + "out.csv");
         ws.table.SetChecked(0, true);
         ui.AnswerMessage(std::string(DeleteSelectedQuestion), mrOk);
         DeleteSelected(ws);
     },
     false},
    {"LookupFailedAndARowDeletedAfterSaving",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeywords({"tennis", "golf"});
         Save(ws, ui, folder + "out.csv");
         ws.table.MarkFailed(0, CellOf(Column::Google), "Connection error");
         ws.table.Delete(1);
     },
     false},
    {"FailedSave",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeyword("golf");
         const std::string path = folder + "missing/out.csv";
         ui.AnswerSaveFile(path).AnswerMessage(SaveFailedMessage(path, "No such file or directory"));
         SaveResults(ws);
     },
     true},
    {"EverythingDeletedUnsaved",
     [](Workspace& ws, ScriptedUi& ui, const std::string&) {
         ws.table.AppendKeyword("golf");
         ui.AnswerMessage(std::string(DeleteAllQuestion), mrOk);
         DeleteAll(ws);
     },
     false},
    {"RunUnderWayOverSavedRows",
     [](Workspace& ws, ScriptedUi& ui, const std::string& folder) {
         ws.table.AppendKeyword("golf");
         Save(ws, ui, folder + "out.csv");
         // A run that outlives the case: its guard is never ended.
         new Runs::Guard(ws.Runs.Begin(RunKind::GatherData));
     },
     true},
    {"AgreedByTheUpdateCheck",
     [](Workspace& ws, ScriptedUi&, const std::string&) {
         ws.table.AppendKeyword("golf");
         ws.CloseAgreed = true;
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Table, Closing,
                         ::testing::Combine(::testing::ValuesIn(closeCases),
                                            ::testing::Values(mrOk, mrCancel)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).Name) +
                                    (std::get<1>(info.param) == mrOk ? "_Ok" : "_Cancel");
                         });

} // namespace
} // namespace vorlith
