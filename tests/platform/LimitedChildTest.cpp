#include "platform/LimitedChild.h"

#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using namespace std::chrono_literals;
using Ending = ChildOutcome::Ending;

// The misbehaving child, started under the name of what it should do.
class LimitedChildTest : public ::testing::Test {
protected:
    std::string Child(const std::string& mode) const {
        const std::string link = dir_.path().toStdString() + "/" + mode;
        std::error_code ignored;
        std::filesystem::create_symlink(VORLITH_TEST_CHILD, link, ignored);
        return link;
    }
    std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }

private:
    QTemporaryDir dir_;
};

TEST_F(LimitedChildTest, HandsOverInputAndArgumentsAndCollectsTheOutput) {
    std::string input(3 * 1024 * 1024 + 7, '\0'); // more than any pipe or socket buffer holds
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = static_cast<char>(i * 31 % 251);
    ChildLimits limits;
    limits.MaxOutputBytes = input.size() + 100;
    const ChildOutcome outcome = RunLimitedChild(Child("echo"), {"two words", ""}, input, limits);
    EXPECT_EQ(outcome.How, Ending::Exited);
    EXPECT_EQ(outcome.Status, 0);
    EXPECT_TRUE(outcome.Output == input + "\ntwo words\n") << outcome.Output.size();

    const ChildOutcome empty = RunLimitedChild(Child("echo"), {}, "", limits);
    EXPECT_EQ(empty.How, Ending::Exited);
    EXPECT_EQ(empty.Output, "");
}

struct EndingCase {
    const char* mode;
    int cpuSeconds;
    std::chrono::milliseconds deadline;
    std::size_t maxOutput;
    Ending how;
    std::vector<int> statuses; // any of these; empty: not looked at
};

class Endings : public LimitedChildTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(Endings, AreReportedAndNeverOutlastTheDeadline) {
    const EndingCase& c = GetParam();
    ChildLimits limits;
    limits.CpuSeconds = c.cpuSeconds;
    limits.Deadline = c.deadline;
    limits.MaxOutputBytes = c.maxOutput;
    const std::string input(8 * 1024 * 1024, 'i');
    const auto start = std::chrono::steady_clock::now();
    const ChildOutcome outcome = RunLimitedChild(Child(c.mode), {}, input, limits);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome.How, c.how);
    if (!c.statuses.empty()) {
        EXPECT_NE(std::find(c.statuses.begin(), c.statuses.end(), outcome.Status), c.statuses.end())
            << outcome.Status;
    }
    EXPECT_LT(took, c.deadline + 3s);
    if (c.how == Ending::OutputTooLarge || c.how == Ending::TimedOut) {
        EXPECT_EQ(outcome.Output, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Endings,
    ::testing::Values(EndingCase{"exit3", 0, 10s, 1024, Ending::Exited, {3}},
                      EndingCase{"noread", 0, 10s, 1024, Ending::Exited, {0}},
                      EndingCase{"crash", 0, 10s, 1024, Ending::Signalled, {SIGSEGV}},
                      EndingCase{"hang", 0, 500ms, 1024, Ending::TimedOut, {}},
                      EndingCase{"spin", 1, 20s, 1024, Ending::Signalled, {SIGXCPU, SIGKILL}},
                      EndingCase{"flood", 0, 10s, 1024 * 1024, Ending::OutputTooLarge, {}}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST_F(LimitedChildTest, AMissingProgramIsNotStarted) {
    const ChildOutcome outcome = RunLimitedChild(Path("no-such-program"), {}, "input", {});
    EXPECT_EQ(outcome.How, Ending::NotStarted);
    EXPECT_NE(outcome.Output.find("no-such-program"), std::string::npos);
}

TEST_F(LimitedChildTest, TheMemoryLimitStopsAGreedyChild) {
    if (ChildMemoryLimitIsSkipped())
        GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    ChildLimits limits;
    limits.MemoryBytes = 256 * 1024 * 1024;
    const ChildOutcome outcome = RunLimitedChild(Child("hog"), {}, "", limits);
    EXPECT_EQ(outcome.How, Ending::Exited);
    EXPECT_EQ(outcome.Status, 4); // its allocation failed
}

TEST_F(LimitedChildTest, TheChildWritesNoFileData) {
    const ChildOutcome outcome = RunLimitedChild(Child("files"), {}, Path("written"), {});
    EXPECT_EQ(outcome.How, Ending::Exited);
    EXPECT_EQ(outcome.Output, "EFBIG");
    EXPECT_EQ(std::filesystem::file_size(Path("written")), 0u);
}

} // namespace
} // namespace vorlith
