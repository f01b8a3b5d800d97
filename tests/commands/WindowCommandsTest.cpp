#include "commands/WindowCommands.h"

#include "support/BrandingFixture.h"
#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::BrandingTest;
using test::ScriptedUi;

TEST(Workspace, StartsEmptyAndStartUpSetsTheSortStateThenArmsTheTimer) {
    ScriptedUi ui;
    Workspace ws(ui, "/opt/vorlith");
    EXPECT_EQ(ws.ProgramFolder, "/opt/vorlith/");
    EXPECT_FALSE(ws.Aborted);
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
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(BrandingTest, ClosingStopsARunBetweenTwoRequests) {
    ws().GatherDataRunning = true;
    StopForClosing(ws());
    EXPECT_TRUE(ws().Aborted);
}

} // namespace
} // namespace vorlith
