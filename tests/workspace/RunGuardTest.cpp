#include "workspace/RunGuard.h"

#include "support/Await.h"
#include "support/HostileServer.h"
#include "support/ScriptedUi.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>

namespace vorlith {
namespace {

using test::ScriptedUi;

struct GuardCase {
    const char* Name;
    bool Running;        // a Gather Data run has not yet returned
    const char* Caption; // btnGatherData's caption
    ClientState Expected;
    std::string_view Message; // empty: nothing is refused
};

class RunGuard : public ::testing::TestWithParam<GuardCase> {};

// One message per state: "press Stop" only where the button offers it.
TEST_P(RunGuard, RefusesWithTheMessageOfItsState) {
    const GuardCase& c = GetParam();
    ScriptedUi ui;
    Workspace ws(ui, "/tmp/");
    // A run under way, stopped when its button no longer reads "Stop".
    std::optional<Runs::Guard> running;
    if (c.Running)
        running.emplace(ws.Runs.Begin(RunKind::GatherData));
    if (c.Running && std::string_view(c.Caption) != "Stop")
        ws.Runs.Stop();
    EXPECT_EQ(ws.GatherDataCaption(), c.Caption);
    EXPECT_EQ(CurrentClientState(ws), c.Expected);
    if (!c.Message.empty())
        ui.AnswerMessage(std::string(c.Message));
    EXPECT_EQ(RefuseWhileClientBusy(ws), !c.Message.empty());
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_EQ(ui.Messages.size(), c.Message.empty() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(States, RunGuard,
                         ::testing::Values(GuardCase{"Idle", false, "Gather Data", ClientState::Free, ""},
                                           GuardCase{"RunUnderWay", true, "Stop",
                                                     ClientState::GatherDataRunning, GatherDataRunningText},
                                           GuardCase{"StoppedRunStillUnwinding", true, "Gather Data",
                                                     ClientState::RequestWaiting, RequestUnderWayText}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A server that accepts and says nothing holds the client; the refusal is the user's way out.
TEST(RunGuardQuestion, OkStopsTheRequestUnderWayCancelLeavesIt) {
    using namespace std::chrono_literals;
    for (const int answer : {mrOk, mrCancel}) {
        test::HostileServer server(test::HostileServer::Silent(3s));
        QTemporaryDir folder;
        ScriptedUi ui;
        Workspace ws(ui, folder.path().toStdString());
        bool asked = false;
        ui.OnTurn = [&] {
            if (asked || !ws.http.Busy())
                return;
            asked = true;
            ui.AnswerMessage(std::string(RequestUnderWayText), answer);
            EXPECT_TRUE(RefuseWhileClientBusy(ws)); // the command asked for still does not run
        };
        const auto start = std::chrono::steady_clock::now();
        std::string page;
        EXPECT_FALSE(test::FetchNow(ws, server.Url(), page, ui.OnTurn));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(asked);
        EXPECT_TRUE(ui.ScriptDone());
        if (answer == mrOk) {
            EXPECT_LT(waited, 2s);
            EXPECT_TRUE(ws.Runs.Aborted());
        } else {
            EXPECT_GE(waited, 2s);
            EXPECT_FALSE(ws.Runs.Aborted());
        }
    }
}

} // namespace
} // namespace vorlith
