#include "stats/GatherData.h"

#include "EngineServer.h"
#include "branding/UpdateCheck.h"
#include "harvest/Harvest.h"
#include "stats/SearchEngineTable.h"
#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/ColumnSorting.h"
#include "workspace/Duplicates.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace vorlith {
namespace {

using test::Engine;
using test::EngineAnswer;
using Results = std::array<std::string, 3>; // Google, Yahoo, Msn

const char* const EngineLetter[] = {"G", "Y", "M"};

// What the server reports for a query, and so what the cell must read afterwards.
std::string CountFor(Engine engine, const std::string& query) {
    return EngineLetter[static_cast<int>(engine)] + query;
}
std::string CountFor(int engine, std::string_view keyword, std::string_view wrap) {
    return CountFor(static_cast<Engine>(engine), SearchQuery(keyword, wrap));
}

class GatherData : public ::testing::Test {
protected:
    GatherData() : ws(ui, folder.path().toStdString(), server.Endpoints()) {
        server.Answer([](Engine engine, const std::string& query, int) {
            return EngineAnswer{200, test::PageFor(engine, CountFor(engine, query))};
        });
    }

    // Rows with keywords, a search count that must never change, and old result counts.
    void AddRows(std::vector<std::string> keywords, const std::string& old = "old") {
        for (auto& keyword : keywords)
            ws.table.Append({keyword, "searches", old, old, old});
    }
    Results ResultsOf(int row) const {
        const auto& cells = ws.table.Row(row).Cell;
        return {cells[2], cells[3], cells[4]};
    }
    Results NewResults(std::string_view keyword, std::string_view wrap) const {
        return {CountFor(0, keyword, wrap), CountFor(1, keyword, wrap), CountFor(2, keyword, wrap)};
    }
    std::string Address(int engine, std::string_view keyword) const {
        return RequestAddress(SearchEngineTable[static_cast<std::size_t>(engine)], ws.Endpoints, keyword,
                              WrapText(ws.SearchMode));
    }
    static std::string Getting(const std::string& address) {
        return std::string(GettingUrlText) + address + std::string(GettingUrlEllipsis);
    }
    // True inside the wait of the request for that engine and keyword, once the server has it.
    bool Waiting(int engine, std::string_view keyword) const {
        if (!ws.http.Busy() || ws.MainStatusText() != Getting(Address(engine, keyword)))
            return false;
        const auto requests = server.Requests();
        return !requests.empty() && Address(engine, keyword).ends_with(requests.back().Target);
    }
    // Holds the one request of that engine for that query text.
    void HoldRequest(int engine, std::string query) {
        server.Hold([engine, query](Engine asked, const std::string& q, int) {
            return static_cast<int>(asked) == engine && q == query;
        });
    }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const auto& r : server.Requests())
            targets.push_back(r.Target);
        return targets;
    }
    std::vector<std::string> GettingAddresses() const {
        std::vector<std::string> addresses;
        for (const auto& [panel, text] : ui.StatusLog)
            if (panel == StatusPanel::Main && text.rfind(GettingUrlText, 0) == 0)
                addresses.push_back(text.substr(GettingUrlText.size(), text.size() - GettingUrlText.size() -
                                                                           GettingUrlEllipsis.size()));
        return addresses;
    }
    void Run(bool precise) {
        ui.AnswerSearchType(precise);
        GatherDataOrStop(ws);
        test::AwaitRuns(ws, ui);
    }
    void Retry() {
        RetryFailed(ws);
        test::AwaitRuns(ws, ui);
    }
    void ExpectIdle() {
        EXPECT_EQ(ws.GatherDataCaption(), "Gather Data");
        EXPECT_EQ(ui.GatherDataCaption, "Gather Data");
        EXPECT_TRUE(ui.HeaderClicksEnabled);
        EXPECT_FALSE(ws.Runs.GatherDataRunning());
        EXPECT_TRUE(ws.Runs.Idle());
    }

    test::EngineServer server;
    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws;
};

TEST_F(GatherData, EmptyTableShowsTheMessageFirstWhateverTheRunState) {
    // Idle: the message alone. With a run still under way (its rows deleted) the click must also
    // stop it, or a request that never ends could never be left.
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running);
        std::optional<Runs::Guard> run;
        if (running)
            run.emplace(ws.Runs.Begin(RunKind::GatherData));
        EXPECT_EQ(ui.HeaderClicksEnabled, !running);
        ui.AnswerMessage(std::string(NoKeywordsText));
        GatherDataOrStop(ws);
        ASSERT_TRUE(ui.ScriptDone());
        EXPECT_EQ(ui.Messages.back().Kind, MessageKind::Information);
        EXPECT_EQ(ui.Messages.back().Buttons, MessageButtons::Ok);
        EXPECT_EQ(ws.Runs.Aborted(), running);
        EXPECT_EQ(ws.GatherDataCaption(), "Gather Data");
        EXPECT_TRUE(ui.HeaderClicksEnabled);
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(ui.StatusLog.empty());
}

TEST_F(GatherData, CancelInTheSearchTypeDialogChangesNothing) {
    AddRows({"golf"});
    ws.Runs.Stop();
    ws.SearchMode = 1;
    ui.AnswerSearchType(std::nullopt);
    GatherDataOrStop(ws);
    EXPECT_TRUE(ws.Runs.Aborted());
    EXPECT_EQ(ws.SearchMode, 1);
    EXPECT_EQ(ResultsOf(0), (Results{"old", "old", "old"}));
    EXPECT_TRUE(server.Requests().empty());
    ExpectIdle();
}

TEST_F(GatherData, AClickDuringASearchCountRunStopsIt) {
    AddRows({"golf"});
    for (const RunKind kind : {RunKind::GatherData, RunKind::RetryFailed}) {
        const auto run = ws.Runs.Begin(kind);
        EXPECT_EQ(ui.GatherDataCaption, "Stop");
        EXPECT_FALSE(ui.HeaderClicksEnabled);
        GatherDataOrStop(ws); // no dialog is scripted: asking for one fails
        EXPECT_TRUE(ws.Runs.Aborted());
        EXPECT_EQ(ws.Runs.Phase(), RunPhase::Stopping);
        EXPECT_EQ(ws.GatherDataCaption(), "Gather Data");
        EXPECT_EQ(ui.GatherDataCaption, "Gather Data");
        EXPECT_TRUE(ui.HeaderClicksEnabled);
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(ResultsOf(0), (Results{"old", "old", "old"}));
}

TEST_F(GatherData, PreciseRunAsksEachEngineForEveryRowInOrder) {
    AddRows({"golf clubs", "tennis", ""});
    ws.Runs.Stop(); // left over from an earlier stop: a new run clears it
    ws.SetSecondStatus("3 items listed");
    std::vector<std::string> captions;
    std::vector<bool> headerClicks;
    ui.OnTurn = [&] {
        if (ws.http.Busy()) {
            captions.push_back(ui.GatherDataCaption);
            headerClicks.push_back(ui.HeaderClicksEnabled);
        }
    };
    Run(true);

    EXPECT_EQ(ws.SearchMode, 0);
    EXPECT_EQ(Targets(), (std::vector<std::string>{
                             "/g/search?q=%22golf+clubs%22", "/y/search?p=%22golf+clubs%22",
                             "/m/results.aspx?q=%22golf+clubs%22", "/g/search?q=%22tennis%22",
                             "/y/search?p=%22tennis%22", "/m/results.aspx?q=%22tennis%22",
                             "/g/search?q=%22%22", "/y/search?p=%22%22", "/m/results.aspx?q=%22%22"}));
    EXPECT_EQ(ResultsOf(0), NewResults("golf clubs", "%22"));
    EXPECT_EQ(ResultsOf(1), NewResults("tennis", "%22"));
    EXPECT_EQ(ResultsOf(2), NewResults("", "%22"));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(ws.table.Caption(row), std::to_string(row + 1));
        EXPECT_EQ(ws.table.Cell(row, 1), "searches");
    }
    EXPECT_EQ(ws.SecondStatusText(), "3 items listed");
    EXPECT_FALSE(ws.Runs.Aborted());
    ASSERT_FALSE(captions.empty());
    for (std::size_t i = 0; i < captions.size(); ++i) {
        EXPECT_EQ(captions[i], "Stop");
        EXPECT_FALSE(headerClicks[i]);
    }
    ExpectIdle();
    EXPECT_EQ(ws.MainStatusText(), CompletedText);
}

TEST_F(GatherData, BroadRunSendsTheWordsUnquotedWithReservedCharactersEncoded) {
    AddRows({"golf clubs", "rock & roll", "c++ tips", "100%", "#1 golf"});
    Run(false);
    EXPECT_EQ(ws.SearchMode, 1);
    const std::vector<std::string> queries = {"golf+clubs", "rock+%26+roll", "c%2B%2B+tips", "100%25", "%231+golf"};
    std::vector<std::string> expected;
    for (const auto& q : queries) {
        expected.push_back(ws.Endpoints.GoogleSearchBase + "/search?q=" + q);
        expected.push_back(ws.Endpoints.YahooSearchBase + "/search?p=" + q);
        expected.push_back(ws.Endpoints.MsnSearchBase + "/results.aspx?q=" + q);
    }
    EXPECT_EQ(GettingAddresses(), expected);
    const std::vector<std::string> targets = Targets();
    ASSERT_EQ(targets.size(), 15u);
    EXPECT_EQ(targets[3], "/g/search?q=rock+%26+roll");
    EXPECT_EQ(targets[7], "/y/search?p=c%2B%2B+tips");
    EXPECT_EQ(ResultsOf(1), NewResults("rock & roll", ""));
    ExpectIdle();
}

TEST_F(GatherData, FailedFetchKeepsTheCellAndAPageWithoutMarkersEmptiesIt) {
    AddRows({"golf", "tennis"});
    server.Answer([](Engine engine, const std::string& query, int) {
        if (engine == Engine::Yahoo)
            return EngineAnswer{500, test::YahooPage("never")};
        if (engine == Engine::Msn)
            return EngineAnswer{200, "<html>no count here</html>"};
        return EngineAnswer{200, test::GooglePage(CountFor(engine, query))};
    });
    Run(true);
    EXPECT_EQ(server.Requests().size(), 6u);
    EXPECT_EQ(ResultsOf(0), (Results{CountFor(0, "golf", "%22"), "old", ""}));
    EXPECT_EQ(ResultsOf(1), (Results{CountFor(0, "tennis", "%22"), "old", ""}));
    ExpectIdle();
}

TEST_F(GatherData, SecondRunOverwritesAndKeepsCountsWhereFetchesFail) {
    AddRows({"golf", "tennis"});
    int runNumber = 1;
    server.Answer([&runNumber](Engine engine, const std::string& query, int number) {
        // In the second run, MSN's answer for the second row fails.
        if (runNumber == 2 && number == 6 + 5)
            return EngineAnswer{404, {}};
        return EngineAnswer{200, test::PageFor(engine, "run" + std::to_string(runNumber) + query)};
    });
    Run(false);
    EXPECT_EQ(ResultsOf(1), (Results{"run1tennis", "run1tennis", "run1tennis"}));
    runNumber = 2;
    Run(false);
    EXPECT_EQ(server.Requests().size(), 12u);
    EXPECT_EQ(ResultsOf(0), (Results{"run2golf", "run2golf", "run2golf"}));
    EXPECT_EQ(ResultsOf(1), (Results{"run2tennis", "run2tennis", "run1tennis"}));
}

TEST_F(GatherData, WithoutNetworkEveryRowIsVisitedAndTheRunEnds) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const std::string base = "http://127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();
    ws.Endpoints.GoogleSearchBase = base;
    ws.Endpoints.YahooSearchBase = base;
    ws.Endpoints.MsnSearchBase = base;
    AddRows({"golf", "tennis", "chess"});
    Run(true);
    EXPECT_EQ(GettingAddresses().size(), 9u);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(ResultsOf(row), (Results{"old", "old", "old"}));
    EXPECT_EQ(ws.MainStatusText(), ConnectionErrorText);
    ExpectIdle();
}

TEST_F(GatherData, EveryCountIsShownBeforeTheNextRequestStarts) {
    AddRows({"golf", "tennis"}, "");
    // At the first pump that sees a new count, the request that brought it has ended and the next
    // one has not yet begun.
    int shown = 0;
    std::vector<std::string> statusWhenShown;
    // At every turn of the loop at most one new count; when written, the request that brought it
    // has ended and the next one has not yet begun.
    const auto filledCells = [&] {
        int filled = 0;
        for (int row = 0; row < ws.table.RowCount(); ++row)
            for (const auto& count : ResultsOf(row))
                filled += count.empty() ? 0 : 1;
        return filled;
    };
    ui.OnTurn = [&] {
        const int filled = filledCells();
        EXPECT_LE(filled, shown + 1) << "two counts written between two turns";
        shown = std::max(shown, filled);
    };
    QObject::connect(&ws.table, &KeywordTable::CellsChanged, &ws.table,
                     [&] { statusWhenShown.push_back(ws.MainStatusText()); });
    Run(true);
    EXPECT_EQ(filledCells(), 6);
    EXPECT_EQ(statusWhenShown, std::vector<std::string>(6, std::string(CompletedText)));
}

class StopDuringRequest : public GatherData, public ::testing::WithParamInterface<int> {};

TEST_P(StopDuringRequest, OfAMiddleRowKeepsTheRestOfThatRowAndLaterRows) {
    const int stopped = GetParam();
    AddRows({"golf", "tennis", "chess"});
    ws.SearchMode = 0;
    HoldRequest(stopped, SearchQuery("tennis", "%22"));
    bool pressed = false;
    std::string captionAtOnce;
    bool runningAtOnce = false;
    bool headerClicksAtOnce = false;
    ui.OnTurn = [&] {
        if (pressed || !Waiting(stopped, "tennis"))
            return;
        pressed = true;
        GatherDataOrStop(ws);
        captionAtOnce = ui.GatherDataCaption;
        runningAtOnce = !ws.Runs.Idle();
        headerClicksAtOnce = ui.HeaderClicksEnabled;
        server.Release();
    };
    Run(true);

    ASSERT_TRUE(pressed);
    EXPECT_EQ(captionAtOnce, "Gather Data");
    EXPECT_TRUE(runningAtOnce) << "the loop had not returned yet";
    EXPECT_TRUE(headerClicksAtOnce);
    EXPECT_TRUE(ws.Runs.Aborted());
    EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(3 + stopped + 1));
    EXPECT_EQ(ResultsOf(0), NewResults("golf", "%22"));
    Results middle = NewResults("tennis", "%22");
    for (int engine = stopped; engine < 3; ++engine)
        middle[static_cast<std::size_t>(engine)] = "old";
    EXPECT_EQ(ResultsOf(1), middle);
    EXPECT_EQ(ResultsOf(2), (Results{"old", "old", "old"}));
    EXPECT_EQ(ws.MainStatusText(), AbortedText);
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Engines, StopDuringRequest, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(SearchEngineTable[static_cast<std::size_t>(info.param)].Name);
                         });

struct DeletionCase {
    const char* Name;
    int Engine; // the request during whose wait the rows change
    int Row;    // of which row (of the keywords)
    std::function<void(Workspace&)> Apply;
    std::size_t Requests;
    std::vector<Results> Expected; // with "old" for cells not written
    std::vector<std::string> Keywords = {"golf", "tennis", "chess"};
    int Asked = -1; // the run's count of asked lookups, when it matters

    friend void PrintTo(const DeletionCase& c, std::ostream* os) { *os << c.Name; }
};

// Rows deleted, deduplicated or sorted while a request waits: every count goes to the row it was
// asked for, a deleted row is skipped (its answer counted as not asked), and the run goes on.
class RowsChangedWhileWaiting : public GatherData, public ::testing::WithParamInterface<DeletionCase> {};

TEST_P(RowsChangedWhileWaiting, CountsGoToTheRowsTheyWereAskedFor) {
    const DeletionCase& c = GetParam();
    AddRows(c.Keywords);
    HoldRequest(c.Engine, SearchQuery(c.Keywords[static_cast<std::size_t>(c.Row)], ""));
    bool changed = false;
    ui.OnTurn = [&] {
        if (changed || !Waiting(c.Engine, c.Keywords[static_cast<std::size_t>(c.Row)]))
            return;
        changed = true;
        c.Apply(ws);
        server.Release(); // the request then ends normally
    };
    ASSERT_NO_THROW(Run(false));
    ASSERT_TRUE(changed);
    EXPECT_EQ(server.Requests().size(), c.Requests);
    ASSERT_EQ(ws.table.RowCount(), static_cast<int>(c.Expected.size()));
    for (int row = 0; row < ws.table.RowCount(); ++row)
        EXPECT_EQ(ResultsOf(row), c.Expected[static_cast<std::size_t>(row)]) << "row " << row;
    if (c.Asked >= 0) {
        EXPECT_EQ(ws.LastRun.Asked, c.Asked);
    }
    EXPECT_EQ(ws.LastRun.Failed, 0);
    ExpectIdle();
}

Results Broad(const char* keyword) {
    return {CountFor(0, keyword, ""), CountFor(1, keyword, ""), CountFor(2, keyword, "")};
}

using Change = std::function<void(Workspace&)>;
const Change DeleteAll = [](Workspace& ws) { ws.table.DeleteAll(); };
Change DeleteRow(int row) {
    return [row](Workspace& ws) { ws.table.Delete(row); };
}
const std::vector<std::string> DupXY = {"dup", "dup", "x", "y"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, RowsChangedWhileWaiting,
    ::testing::Values(
        DeletionCase{"AllDuringGoogleOfTheMiddleRow", 0, 1, DeleteAll, 4, {}},
        DeletionCase{"AllDuringTheLastRequest", 2, 2, DeleteAll, 9, {}},
        // Once wrote tennis's Yahoo count into chess: the row under the run was fixed by position.
        DeletionCase{"CurrentRowDuringYahoo", 1, 1, DeleteRow(1), 8, {Broad("golf"), Broad("chess")}, {"golf", "tennis", "chess"}, 7},
        DeletionCase{"LastRowDuringMsnOfTheMiddleRow", 2, 1, DeleteRow(2), 6, {Broad("golf"), Broad("tennis")}},
        DeletionCase{"FirstRowDuringGoogleOfTheLastRow", 0, 2, DeleteRow(0), 9, {Broad("tennis"), Broad("chess")}},
        DeletionCase{"DeleteSelectedDuringYahoo", 1, 2, [](Workspace& ws) { ws.table.SetChecked(3, true); ws.table.DeleteChecked(); },
                     9, {Broad("dup"), Broad("dup"), Broad("x")}, DupXY, 9},
        // The measured case: x's count once went to y and the panel said nothing failed.
        DeletionCase{"RemoveDuplicatesDuringYahooOfX", 1, 2, [](Workspace& ws) { RemoveDuplicateRows(ws.table); },
                     12, {Broad("dup"), Broad("x"), Broad("y")}, DupXY, 12},
        DeletionCase{"SortDescendingDuringGoogleOfTennis", 0, 1,
                     [](Workspace& ws) { SortRows(ws.table, static_cast<int>(Column::Keywords), false); },
                     9, {Broad("tennis"), Broad("golf"), Broad("chess")}}),
    [](const ::testing::TestParamInfo<DeletionCase>& info) { return std::string(info.param.Name); });
// clang-format on

TEST_F(GatherData, EmptiedTableWithARequestThatNeverEndsCanStillBeStopped) {
    AddRows({"golf", "tennis"});
    HoldRequest(0, "tennis");
    int step = 0;
    ui.OnTurn = [&] {
        if (step == 0 && Waiting(0, "tennis")) {
            step = 1;
            ws.table.DeleteAll();
            ui.AnswerMessage(std::string(NoKeywordsText));
            GatherDataOrStop(ws);
            step = 2;
        }
    };
    Run(false);
    EXPECT_EQ(step, 2);
    EXPECT_TRUE(ws.Runs.Aborted());
    EXPECT_EQ(server.Requests().size(), 4u);
    ExpectIdle();
}

TEST_F(GatherData, RowsAddedDuringARunAreNotVisited) {
    AddRows({"golf", "tennis"});
    HoldRequest(0, "golf");
    bool added = false;
    ui.OnTurn = [&] {
        if (!added && Waiting(0, "golf")) {
            added = true;
            ws.table.AppendKeyword("late");
            server.Release();
        }
    };
    Run(false);
    ASSERT_TRUE(added);
    EXPECT_EQ(server.Requests().size(), 6u);
    EXPECT_EQ(ResultsOf(2), (Results{"", "", ""}));
    EXPECT_EQ(ResultsOf(1), Broad("tennis"));
}

TEST_F(GatherData, PressedAgainWhileAStoppedRunUnwindsIsRefused) {
    AddRows({"golf", "tennis"});
    HoldRequest(1, "golf");
    bool pressed = false;
    ui.OnTurn = [&] {
        if (pressed || !Waiting(1, "golf"))
            return;
        pressed = true;
        GatherDataOrStop(ws); // Stop
        // The caption reads "Gather Data" again, but the stopped loop still waits: no second run
        // may enter the client or clear Aborted.
        ui.AnswerMessage(std::string(RequestUnderWayText), mrCancel);
        GatherDataOrStop(ws);
        EXPECT_TRUE(ws.Runs.Aborted());
        server.Release();
    };
    Run(false);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(ResultsOf(0), (Results{CountFor(0, "golf", ""), "old", "old"}));
    ExpectIdle();
}

TEST_F(GatherData, OtherCommandsAreRefusedWhileARunGoesOn) {
    AddRows({"golf", "tennis"});
    HoldRequest(1, "tennis");
    bool asked = false;
    bool nestedFetchRefused = false;
    ui.OnTurn = [&] {
        if (asked || !Waiting(1, "tennis"))
            return;
        asked = true;
        ui.AnswerMessage(std::string(GatherDataRunningText));
        EXPECT_TRUE(RefuseWhileClientBusy(ws));
        // A request from a nested command must not disturb the one under way.
        std::string page = "before";
        try {
            test::FetchNow(ws, Address(0, "nested"), page);
        } catch (const std::exception&) {
            nestedFetchRefused = true;
        }
        server.Release();
    };
    Run(false);
    ASSERT_TRUE(asked);
    EXPECT_TRUE(nestedFetchRefused);
    EXPECT_EQ(server.Requests().size(), 6u);
    EXPECT_EQ(ResultsOf(1), Broad("tennis"));
    // Idle again: nothing is refused.
    EXPECT_FALSE(RefuseWhileClientBusy(ws));
    EXPECT_EQ(ui.Messages.size(), 1u);
}

TEST_F(GatherData, GatherKeywordsAndCheckUpdatesBetweenTwoRequestsAreRefused) {
    AddRows({"golf"});
    ws.MainKeyword = "golf";
    ws.Runs.ClearAborted();
    int presses = 0;
    ui.OnTurn = [&] {
        // Between two requests the client is idle, but the run still owns it and its Aborted.
        if (presses > 0 || ws.http.Busy() || ws.table.Cell(0, 2) == "old")
            return;
        ++presses;
        ui.AnswerMessage(std::string(GatherDataRunningText));
        ui.AnswerMessage(std::string(GatherDataRunningText));
        EXPECT_EQ(test::Await(GatherKeywords(ws)), HarvestEnd::Refused);
        CheckForUpdatesNow(ws);
    };
    Run(false);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(ResultsOf(0), Broad("golf"));
    EXPECT_EQ(ws.table.RowCount(), 1);
    ExpectIdle();
}

TEST_F(GatherData, PressedWhileAnotherCommandsRequestWaitsIsRefused) {
    AddRows({"golf"});
    HoldRequest(0, "outer");
    bool pressed = false;
    ui.OnTurn = [&] {
        if (pressed || !Waiting(0, "outer"))
            return;
        pressed = true;
        ui.AnswerMessage(std::string(RequestUnderWayText), mrCancel);
        GatherDataOrStop(ws);
        server.Release();
    };
    ws.SearchMode = 1;
    std::string page;
    EXPECT_TRUE(test::FetchNow(ws, Address(0, "outer"), page, ui.OnTurn));
    ASSERT_TRUE(pressed);
    EXPECT_FALSE(ws.Runs.Aborted());
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(ResultsOf(0), (Results{"old", "old", "old"}));
    ExpectIdle();
}

TEST_F(GatherData, AnErrorThatEndsTheRunPutsTheButtonBack) {
    // No scratch file can be made in a folder that does not exist: the error leaves the command.
    test::ScriptedUi otherUi;
    Workspace broken(otherUi, folder.path().toStdString() + "/missing", server.Endpoints());
    broken.table.AppendKeyword("golf");
    otherUi.AnswerSearchType(true);
    GatherDataOrStop(broken);
    test::AwaitRuns(broken, otherUi);
    // The run's root reports it through the error window.
    ASSERT_EQ(otherUi.Errors.size(), 1u);
    EXPECT_NE(otherUi.Errors[0].find("Cannot create file"), std::string::npos) << otherUi.Errors[0];
    EXPECT_EQ(otherUi.GatherDataCaption, "Gather Data");
    EXPECT_TRUE(otherUi.HeaderClicksEnabled);
    EXPECT_FALSE(broken.Runs.GatherDataRunning());
    EXPECT_TRUE(server.Requests().empty());
}

// A failed lookup is marked with its reason and counted; Retry Failed asks only for those cells.
TEST_F(GatherData, FailedLookupsAreMarkedCountedAndRetriedAlone) {
    std::atomic<bool> yahooDown{true};
    server.Answer([&yahooDown](Engine engine, const std::string& query, int) {
        const bool fails = engine == Engine::Yahoo && yahooDown && query.find("bad") != std::string::npos;
        return fails ? EngineAnswer{500, "down"}
                     : EngineAnswer{200, test::PageFor(engine, CountFor(engine, query))};
    });
    AddRows({"good", "bad one", "bad two"});
    Run(false);
    EXPECT_EQ(ws.LastRun.Asked, 9);
    EXPECT_EQ(ws.LastRun.Succeeded, 7);
    EXPECT_EQ(ws.LastRun.Failed, 2);
    EXPECT_EQ(GatherSummaryLine(ws.LastRun), "Gather Data: 9 asked, 7 succeeded, 2 failed");
    const int yahoo = CellOf(Column::Yahoo);
    EXPECT_EQ(ws.table.FailedCount(), 2u);
    EXPECT_TRUE(ws.table.Failed(1, yahoo));
    EXPECT_EQ(ws.table.FailureReason(2, yahoo), ConnectionErrorText);
    EXPECT_EQ(ws.table.Cell(1, yahoo), "old") << "a failed cell keeps its value";
    EXPECT_EQ(ws.table.Cell(1, CellOf(Column::Google)), CountFor(0, "bad one", ""));
    EXPECT_EQ(ui.Status[StatusPanel::Run], RunOutcomeText(ws.LastRun, false));
    // Progress: one text per row, counting rows.
    std::vector<std::string> progress;
    for (const auto& [panel, text] : ui.StatusLog)
        if (panel == StatusPanel::Run)
            progress.push_back(text.substr(0, text.find(',')));
    EXPECT_EQ(progress, (std::vector<std::string>{"Row 1 of 3", "Row 2 of 3", "Row 3 of 3",
                                                  RunOutcomeText(ws.LastRun, false)}));

    // Still down: asked again, still failed, nothing else asked.
    const std::size_t before = server.Requests().size();
    Retry();
    EXPECT_EQ(Targets(), [&] {
        auto t = Targets();
        t.resize(before);
        t.push_back("/y/search?p=bad+one");
        t.push_back("/y/search?p=bad+two");
        return t;
    }());
    EXPECT_EQ(ws.LastRun.Failed, 2);
    yahooDown = false;
    Retry();
    EXPECT_EQ(GatherSummaryLine(ws.LastRun), "Gather Data: 2 asked, 2 succeeded, 0 failed");
    EXPECT_EQ(ws.table.FailedCount(), 0u);
    EXPECT_EQ(ResultsOf(2), NewResults("bad two", ""));
    ExpectIdle();

    // Nothing left to retry: said so, nothing asked.
    ui.AnswerMessage(std::string(NothingToRetryText));
    Retry();
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_EQ(server.Requests().size(), before + 4);
}

TEST_F(GatherData, AStoppedLookupIsMarkedAbortedAndLaterCellsStayUnmarked) {
    AddRows({"golf", "chess"});
    HoldRequest(1, "golf");
    ui.OnTurn = [&] {
        if (Waiting(1, "golf") && ws.GatherDataCaption() == StopCaption) {
            GatherDataOrStop(ws);
            server.Release();
        }
    };
    Run(false);
    EXPECT_EQ(ws.table.FailureReason(0, CellOf(Column::Yahoo)), AbortedText);
    EXPECT_EQ(ws.table.FailedCount(), 1u) << "cells never asked are not failures";
    EXPECT_EQ(ui.Status[StatusPanel::Run], RunOutcomeText(ws.LastRun, true));
}

// Asking a row's engines at once fills and marks the same cells as asking them in turn; each engine
// keeps one connection for the whole run.
class EnginesAtOnce : public GatherData, public ::testing::WithParamInterface<bool> {};

TEST_P(EnginesAtOnce, FillsAndMarksTheSameCellsAsInTurn) {
    ws.AskEnginesAtOnce = GetParam();
    server.Answer([](Engine engine, const std::string& query, int) {
        if (engine == Engine::Yahoo && query == "%22tennis%22")
            return EngineAnswer{500, "down"};
        return EngineAnswer{200, test::PageFor(engine, CountFor(engine, query))};
    });
    AddRows({"golf clubs", "tennis", "golf & more"});
    Run(true);
    EXPECT_EQ(ResultsOf(0), NewResults("golf clubs", "%22"));
    EXPECT_EQ(ResultsOf(2), NewResults("golf & more", "%22"));
    EXPECT_EQ(ResultsOf(1), (Results{CountFor(0, "tennis", "%22"), "old", CountFor(2, "tennis", "%22")}));
    EXPECT_TRUE(ws.table.Failed(1, 3));
    EXPECT_EQ(ws.table.FailedCount(), 1);
    EXPECT_EQ(ws.LastRun.Asked, 9);
    EXPECT_EQ(ws.LastRun.Failed, 1);

    server.Answer([](Engine engine, const std::string& query, int) {
        return EngineAnswer{200, test::PageFor(engine, CountFor(engine, query))};
    });
    Retry();
    EXPECT_EQ(ResultsOf(1), NewResults("tennis", "%22"));
    EXPECT_EQ(ws.table.FailedCount(), 0);
    EXPECT_EQ(server.Requests().size(), 10u);
    if (GetParam()) {
        std::array<std::set<int>, 3> ports;
        for (const auto& request : server.Requests())
            ports[static_cast<std::size_t>(request.Asked)].insert(request.ClientPort);
        // One connection an engine a run: the first run's three, and the retry's one.
        EXPECT_EQ(ports[0].size(), 1u);
        EXPECT_EQ(ports[2].size(), 1u);
        EXPECT_EQ(ports[1].size(), 2u);
    }
    ExpectIdle();
}

TEST_F(GatherData, AStopWhileEnginesAreAskedAtOnceEndsTheRunAtOnce) {
    ws.AskEnginesAtOnce = true;
    AddRows({"golf", "tennis", "chess"});
    HoldRequest(1, "%22tennis%22");
    bool clicked = false;
    ui.OnTurn = [&] {
        // The row's three requests arrive in any order; the held one is among them.
        const auto requests = server.Requests();
        const bool held = std::any_of(requests.begin(), requests.end(),
                                      [](const auto& r) { return r.Target == "/y/search?p=%22tennis%22"; });
        if (!clicked && held) {
            clicked = true;
            GatherDataOrStop(ws);
        }
    };
    Run(true);
    server.Release();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(ResultsOf(0), NewResults("golf", "%22"));
    EXPECT_EQ(ws.table.Cell(1, 3), "old");
    EXPECT_EQ(ws.table.FailureReason(1, 3), AbortedText);
    EXPECT_EQ(ResultsOf(2), (Results{"old", "old", "old"}));
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Modes, EnginesAtOnce, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "AtOnce" : "InTurn"; });

struct ProgressCase {
    int Row, Rows;
    double Left;
    const char* Text;
};

TEST(RunProgressText, RowOfRowsAndTheTimeLeft) {
    for (const ProgressCase& c :
         {ProgressCase{1, 94, -1, "Row 1 of 94"}, ProgressCase{12, 94, 83.4, "Row 12 of 94, 1:23 left"},
          ProgressCase{2, 3, 0.4, "Row 2 of 3, 0:00 left"},
          ProgressCase{5, 1000000, 7322, "Row 5 of 1000000, 2:02:02 left"}})
        EXPECT_EQ(RunProgressText(c.Row, c.Rows, c.Left), c.Text);
}

} // namespace
} // namespace vorlith
