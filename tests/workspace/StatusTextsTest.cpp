#include "workspace/StatusTexts.h"

#include "support/ScriptedUi.h"
#include "workspace/DialogRules.h"
#include "workspace/MainKeyword.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::ScriptedUi;

TEST(MainKeywordCommand, AcceptedKeywordIsStoredAsTypedAndEmptiesTheProgressPanel) {
    ScriptedUi ui;
    Workspace ws(ui, "/tmp/");
    ws.SetMainStatus("Process completed sucessfull!");
    ui.AnswerMainKeyword("  golf clubs ");
    EnterMainKeyword(ws);
    EXPECT_EQ(ws.MainKeyword, "  golf clubs ");
    EXPECT_EQ(ui.Status[StatusPanel::MainKeyword], "Main Keyword:   golf clubs ");
    EXPECT_EQ(ui.Status[StatusPanel::Main], "");
    EXPECT_EQ(ws.MainStatusText(), "");
}

TEST(MainKeywordCommand, CancelChangesNothing) {
    ScriptedUi ui;
    Workspace ws(ui, "/tmp/");
    ui.AnswerMainKeyword("soccer");
    EnterMainKeyword(ws);
    ws.SetMainStatus("Process aborted!");
    const auto shown = ui.StatusLog.size();
    ui.AnswerMainKeyword(std::nullopt);
    EnterMainKeyword(ws);
    EXPECT_EQ(ws.MainKeyword, "soccer");
    EXPECT_EQ(ws.MainStatusText(), "Process aborted!");
    EXPECT_EQ(ws.MainKeywordStatusText(), "Main Keyword: soccer");
    EXPECT_EQ(ui.StatusLog.size(), shown);
}

TEST(StatusTexts, ItemCountsHaveNoSingularForm) {
    EXPECT_EQ(ItemCountText(0), "0 items listed");
    EXPECT_EQ(ItemCountText(1), "1 items listed");
    EXPECT_EQ(ItemCountText(1000000), "1000000 items listed");
    EXPECT_EQ(TotalText(12), "Total: 12");
    EXPECT_EQ(MainKeywordPanelText("golf"), "Main Keyword: golf");
}

struct GaugeCase {
    int Maximum;
    int Value;
    int ShownValue;
    const char* Text;
};

class GaugeText : public ::testing::TestWithParam<GaugeCase> {};

TEST_P(GaugeText, RoundsToTheNearestPercentAndClampsToTheRange) {
    const GaugeCase& c = GetParam();
    Gauge gauge;
    gauge.SetMaximum(c.Maximum);
    gauge.SetValue(c.Value);
    EXPECT_EQ(gauge.Value(), c.ShownValue);
    EXPECT_EQ(gauge.Text(), c.Text);
}

INSTANTIATE_TEST_SUITE_P(Table, GaugeText,
                         ::testing::Values(GaugeCase{100, 0, 0, "0%"}, GaugeCase{100, 100, 100, "100%"},
                                           GaugeCase{3, 1, 1, "33%"}, GaugeCase{3, 2, 2, "67%"},
                                           GaugeCase{200, 1, 1, "1%"},  // 0.5 rounds up
                                           GaugeCase{1000, 4, 4, "0%"}, // 0.4 rounds down
                                           GaugeCase{100, 250, 100, "100%"}, GaugeCase{100, -5, 0, "0%"},
                                           GaugeCase{0, 0, 0, "0%"}, // body of unknown length
                                           GaugeCase{0, 5000, 0, "0%"},
                                           GaugeCase{2147483647, 2147483647, 2147483647, "100%"},
                                           GaugeCase{2147483647, 1073741824, 1073741824, "50%"}));

TEST(Gauge, LoweringTheMaximumPullsTheValueIn) {
    Gauge gauge;
    gauge.SetValue(80);
    gauge.SetMaximum(50);
    EXPECT_EQ(gauge.Value(), 50);
    gauge.SetMaximum(0);
    EXPECT_EQ(gauge.Value(), 0);
}

struct AddKeywordsCase {
    const char* Name;
    std::string Keyword;
    std::string ListFile; // "<file>" and "<folder>" stand for a real file and folder
    std::optional<std::string_view> Refusal;
};

class AddKeywordsRule : public ::testing::TestWithParam<AddKeywordsCase> {};

TEST_P(AddKeywordsRule, RefusesOnlyWhatTheDialogMustNotReturn) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string file = folder + "/list.txt";
    std::ofstream(file) << "golf\n";
    AddKeywordsCase c = GetParam();
    if (c.ListFile == "<file>")
        c.ListFile = file;
    if (c.ListFile == "<folder>")
        c.ListFile = folder;
    EXPECT_EQ(AddKeywordsRefusal(c.Keyword, c.ListFile), c.Refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddKeywordsRule,
    ::testing::Values(AddKeywordsCase{"BothEmpty", "", "", std::nullopt},
                      AddKeywordsCase{"KeywordOnly", "golf, soccer", "", std::nullopt},
                      AddKeywordsCase{"ExistingFile", "", "<file>", std::nullopt},
                      AddKeywordsCase{"MissingFile", "", "/no/such/list.txt", InvalidFileMessage},
                      AddKeywordsCase{"Folder", "", "<folder>", InvalidFileMessage},
                      AddKeywordsCase{"BothWithFile", "golf", "<file>", BothWaysMessage},
                      // The "only one way" test comes before the file test.
                      AddKeywordsCase{"BothWithMissingFile", "golf", "/no/such/list.txt", BothWaysMessage},
                      AddKeywordsCase{"SpacesCountAsText", " ", "<file>", BothWaysMessage}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MainKeywordRule, RefusesOnlyEmptyText) {
    EXPECT_EQ(MainKeywordRefusal(""), NoMainKeywordMessage);
    EXPECT_EQ(MainKeywordRefusal("   "), std::nullopt);
    EXPECT_EQ(MainKeywordRefusal("golf"), std::nullopt);
}

} // namespace
} // namespace vorlith
