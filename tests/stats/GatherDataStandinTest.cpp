// Gather Data end to end against the stand-in service, with faults: answers that are a 500 and
// connections dropped before the answer.
#include "StandinPages.h"
#include "StandinServer.h"
#include "stats/GatherData.h"
#include "stats/SearchEngineTable.h"
#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

namespace vorlith {
namespace {

struct FaultCase {
    bool Precise;
    double FailRate;
    std::uint64_t Seed;

    friend void PrintTo(const FaultCase& c, std::ostream* os) {
        *os << (c.Precise ? "precise" : "broad") << ", fail rate " << c.FailRate << ", seed " << c.Seed;
    }
};

class GatherDataStandin : public ::testing::TestWithParam<FaultCase> {};

TEST_P(GatherDataStandin, VisitsEveryRowKeepsFailedCellsAndEndsByItself) {
    const FaultCase& c = GetParam();
    standin::Options options;
    options.FailRate = c.FailRate;
    options.Seed = c.Seed;
    standin::StandinServer server(options);
    std::mutex lock;
    std::map<std::string, std::string> outcomes; // target -> "200", "500" or "dropped"
    server.OnLog = [&](const std::string& line) {
        // "GET <target> -> <outcome>"
        const auto arrow = line.rfind(" -> ");
        std::lock_guard guard(lock);
        outcomes[line.substr(4, arrow - 4)] = line.substr(arrow + 4);
    };
    const int port = server.Start();
    ASSERT_GT(port, 0);
    Endpoints endpoints;
    endpoints.GoogleSearchBase = endpoints.YahooSearchBase = endpoints.MsnSearchBase =
        "http://127.0.0.1:" + std::to_string(port);

    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws(ui, folder.path().toStdString(), endpoints);
    const std::vector<std::string> keywords = {
        "golf clubs",   "golf",          "tennis rackets", "chess",        "used cars", "red shoes",
        "garden tools", "piano lessons", "cheap",          "golf clubs x", "kites",     "blue sky tours"};
    for (const auto& keyword : keywords)
        ws.table.Append({keyword, "", "old", "old", "old"});
    ui.AnswerSearchType(c.Precise);
    GatherDataOrStop(ws);
    test::AwaitRuns(ws, ui);
    server.Stop();

    EXPECT_EQ(ws.GatherDataCaption(), "Gather Data");
    EXPECT_FALSE(ws.Runs.GatherDataRunning());
    ASSERT_EQ(outcomes.size(), 3 * keywords.size()) << "every row is asked of every engine";
    const std::string_view wrap = WrapText(ws.SearchMode);
    std::map<std::string, int> seen;
    for (int row = 0; row < static_cast<int>(keywords.size()); ++row) {
        const std::string& keyword = keywords[static_cast<std::size_t>(row)];
        const std::string asked = c.Precise ? "\"" + keyword + "\"" : keyword;
        for (std::size_t e = 0; e < SearchEngineTable.size(); ++e) {
            const SearchEngine& engine = SearchEngineTable[e];
            const std::string address = RequestAddress(engine, ws.Endpoints, keyword, wrap);
            const std::string target = address.substr(ws.Endpoints.GoogleSearchBase.size());
            const std::string& outcome = outcomes[target];
            ++seen[outcome];
            const std::string page = standin::ResultsPage(static_cast<standin::Engine>(e), asked);
            // Both faults end the request before an answer arrives: the cell keeps its value.
            const std::string expected = outcome == "200" ? CutCount(engine, page) : "old";
            EXPECT_EQ(ws.table.Cell(row, CellOf(engine.Target)), expected)
                << engine.Name << " " << keyword << " (" << outcome << ")";
            if (outcome == "200") {
                EXPECT_FALSE(expected.empty());
            }
        }
    }
    if (c.FailRate > 0) {
        EXPECT_GT(seen["500"], 0);
        EXPECT_GT(seen["dropped"], 0);
    }
    EXPECT_GT(seen["200"], 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, GatherDataStandin,
                         ::testing::Values(FaultCase{true, 0.0, 1}, FaultCase{true, 0.4, 7},
                                           FaultCase{false, 0.4, 11}));

} // namespace
} // namespace vorlith
