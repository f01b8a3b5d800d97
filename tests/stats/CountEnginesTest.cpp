// Count engines of sources.ini in Gather Data: the count number, a page without one, blocks that
// mark the cell failed with the reason, and Retry Failed asking again.
#include "StandinPages.h"
#include "StandinServer.h"
#include "stats/GatherData.h"
#include "support/Await.h"
#include "support/ScriptedUi.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

struct EngineCase {
    const char* Name;
    std::string Shape, Extra;
    bool Precise;
    std::string Cell;   // the Google cell of row "golf clubs", when the lookup succeeded
    std::string Reason; // the failed cell's reason otherwise
    int Requests;       // the stand-in's, for two rows (the other engines are unreachable)
};

class CountEngines : public ::testing::TestWithParam<EngineCase> {};

TEST_P(CountEngines, FillTheColumnOrSayWhyNot) {
    const EngineCase& c = GetParam();
    std::atomic<int> asked{0};
    standin::StandinServer server{standin::Options{}};
    server.OnLog = [&asked](const std::string& line) {
        if (line.find("/sources/") != std::string::npos)
            ++asked;
    };
    ASSERT_GT(server.Start(), 0);
    QTemporaryDir folder;
    std::ofstream(folder.filePath(QStringLiteral("sources.ini")).toStdString())
        << "[Count 1]\nName=Eng\nEnabled=1\nFormat=markers\nStart=<div id=\"result-stats\">\nEnd=</div>\n"
        << "Blocked=unusual traffic\nURL=http://127.0.0.1:" << server.Port() << "/sources/" << c.Shape
        << "?q={query}\n" << c.Extra;
    test::ScriptedUi ui;
    Workspace ws(ui, folder.path().toStdString());
    // The built-in engines fail at once on a closed port.
    ws.Endpoints.YahooSearchBase = ws.Endpoints.MsnSearchBase = "http://127.0.0.1:9";
    ws.table.AppendKeywords({"golf clubs", "tennis"});
    ui.AnswerSearchType(c.Precise);
    GatherDataOrStop(ws);
    test::AwaitRuns(ws, ui);
    const int cell = CellOf(Column::Google);
    EXPECT_EQ(ws.table.Cell(0, cell), c.Cell);
    EXPECT_EQ(ws.table.Failed(0, cell), !c.Reason.empty());
    EXPECT_EQ(std::string(ws.table.FailureReason(1, cell)), c.Reason);
    EXPECT_EQ(asked.load(), c.Requests);
    if (c.Reason.empty())
        return;
    // Retry Failed asks the blocked or unreadable engine again.
    RetryFailed(ws);
    test::AwaitRuns(ws, ui);
    EXPECT_GT(asked.load(), c.Requests);
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CountEngines,
    ::testing::Values(
        EngineCase{"PreciseCountDigits", "count", "", true,
                   std::to_string(standin::ResultCount(standin::Engine::Google, "\"golf clubs\"")), "", 2},
        EngineCase{"BroadPercentEncoded", "count", "Query=percent\n", false,
                   std::to_string(standin::ResultCount(standin::Engine::Google, "golf clubs")), "", 2},
        EngineCase{"NoCountIsAFailureNotZero", "empty", "", false, "", "Eng: no count on the page", 2},
        EngineCase{"BlockedOnceThenNotAskedInTheRun", "check", "", false, "",
                   "Eng: blocked (the page says \"unusual traffic\")", 1}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vorlith
