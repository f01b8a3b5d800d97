// Gather Keywords in rounds: backoff on 429 and 503, blocks, and Stop ending the whole harvest.
#include "StandinServer.h"
#include "harvest/Harvest.h"
#include "harvest/Rounds.h"
#include "support/Await.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedUi.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::Reply;

class Rounds : public ::testing::Test {
protected:
    // A workspace whose sources.ini holds one JSON source at base.
    Workspace& Open(const std::string& base, const std::string& extra = {}) {
        std::ofstream(folder.filePath(QStringLiteral("sources.ini")).toStdString())
            << "[Suggest s]\nName=S\nURL=" << base << "/sources/json?q={query}\nFormat=json\nPath=1/*\n" << extra;
        ws = std::make_unique<Workspace>(ui, folder.path().toStdString());
        ws->MainKeyword = "golf";
        ws->Harvest.SourceIds = {"s"};
        return *ws;
    }

    QTemporaryDir folder;
    test::ScriptedUi ui;
    std::unique_ptr<Workspace> ws;
};

struct BackoffCase {
    const char* Name;
    int Status, Refusals;
    int Requests, Rows;
    std::string Blocked; // the notice, when the source ends blocked
};
class Backoff : public Rounds, public ::testing::WithParamInterface<BackoffCase> {};

TEST_P(Backoff, AsksAgainUpToThreeMoreTimesThenCallsItABlock) {
    const BackoffCase& c = GetParam();
    test::ScriptedHttpServer server;
    for (int i = 0; i < c.Refusals; ++i)
        server.Next().Send(Reply::Answer(c.Status, "busy", "Retry-After: 0\r\n")).Close();
    server.Otherwise().Send(Reply::Answer(200, R"(["golf",["golf a","golf b"]])")).Close();
    Workspace& w = Open("http://127.0.0.1:" + std::to_string(server.Port()));
    w.Harvest.Expand = Expansion::Prepositions; // 8 rounds; a block ends the source's part
    test::Await(GatherKeywords(w));
    EXPECT_EQ(w.LastHarvest.Requests, c.Requests);
    EXPECT_EQ(w.table.RowCount(), c.Rows);
    EXPECT_EQ(w.BlockedNotices, c.Blocked.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Blocked});
    EXPECT_EQ(w.LastHarvest.AllFailed, !c.Blocked.empty() || c.Rows == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Backoff,
    ::testing::Values(BackoffCase{"ThreeTooManyThenRead", 429, 3, 3 + 8, 2, ""},
                      BackoffCase{"FourTooManyIsABlock", 429, 4, 4, 0, "S: blocked (429 Too Many Requests)"},
                      BackoffCase{"UnavailableTwice", 503, 2, 2 + 8, 2, ""},
                      // Other errors are failures of one request: not retried, not a block.
                      BackoffCase{"ServerErrorNotRetried", 500, 1, 8, 2, ""},
                      BackoffCase{"NotFoundNotRetried", 404, 8, 8, 0, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Rounds, StopEndsTheWholeHarvestAndKeepsTheRows) {
    standin::Options options;
    options.LatencyMs = 20;
    standin::StandinServer server(options);
    ASSERT_GT(server.Start(), 0);
    Workspace& w = Open("http://127.0.0.1:" + std::to_string(server.Port()), "Delay=30\n");
    w.Harvest.Expand = Expansion::AZ;
    test::Await(GatherKeywords(w), [&w] {
        if (w.table.RowCount() >= 12 && !w.Runs.Aborted())
            w.Runs.Stop();
    });
    EXPECT_GE(w.table.RowCount(), 12);
    EXPECT_LT(w.LastHarvest.Requests, 5);
    EXPECT_EQ(w.MainStatusText(), AbortedText);
    server.Stop();
}

TEST_F(Rounds, NoSourceChosenIsRefusedWithAMessage) {
    Workspace& w = Open("http://127.0.0.1:9");
    w.Harvest.SourceIds.clear();
    ui.AnswerMessage(std::string(NoSourceChosenMessage));
    EXPECT_EQ(test::Await(GatherKeywords(w)), HarvestEnd::Refused);
    EXPECT_TRUE(ui.ScriptDone());
}

} // namespace
} // namespace vorlith
