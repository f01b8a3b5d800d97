#include "workspace/RunGuard.h"

#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <gtest/gtest.h>

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
    ws.GatherDataRunning = c.Running;
    ws.SetGatherDataCaption(c.Caption);
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

} // namespace
} // namespace vorlith
