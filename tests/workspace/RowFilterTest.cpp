#include "workspace/RowFilter.h"

#include "support/ScriptedUi.h"
#include "workspace/KeywordTable.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

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

class Filtered : public ::testing::Test {
protected:
    Filtered() { Fill(table, {"golf", "chess", "Golf clubs", "go", "mini golf"}); }
    Rows Shown() const {
        Rows rows;
        for (int r = 0; r < model.rowCount(); ++r)
            rows.push_back(model.SourceRow(r));
        return rows;
    }
    KeywordTable table;
    FilteredTable model{table};
};

TEST_F(Filtered, ShowsTheTableRowForRowWithoutAFilter) {
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.data(model.index(2, 1), Qt::DisplayRole).toString(), QStringLiteral("Golf clubs"));
    EXPECT_EQ(model.ShownRow(4), 4);
}

TEST_F(Filtered, NarrowsWidensAndMapsBothWays) {
    model.SetFilter("g");
    EXPECT_EQ(Shown(), (Rows{0, 2, 3, 4}));
    model.SetFilter("gol");
    EXPECT_EQ(Shown(), (Rows{0, 2, 4}));
    EXPECT_EQ(model.ShownRow(2), 1);
    EXPECT_EQ(model.ShownRow(1), -1);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("3"));
    model.SetFilter("s");
    EXPECT_EQ(Shown(), (Rows{1, 2}));
    model.SetFilter("");
    EXPECT_EQ(model.rowCount(), 5);
}

TEST_F(Filtered, TicksReachTheTableAndChangesReachTheView) {
    model.SetFilter("golf");
    ASSERT_TRUE(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Checked(2));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    table.SetCell(4, 2, "123");
    table.SetCell(1, 2, "hidden row");
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>().row(), 2);
}

TEST_F(Filtered, FollowsAppendsDeletesAndSorts) {
    model.SetFilter("golf");
    table.AppendKeyword("GOLFING");
    table.AppendKeyword("tennis");
    EXPECT_EQ(Shown(), (Rows{0, 2, 4, 5}));
    table.Delete(0);
    EXPECT_EQ(Shown(), (Rows{1, 3, 4}));
    table.Reorder({5, 4, 3, 2, 1, 0});
    EXPECT_EQ(Shown(), (Rows{1, 2, 4}));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("GOLFING"));
}

// Typing letter by letter narrows from the rows shown; the result must equal a fresh filter.
TEST(FilteredTyping, NarrowingEqualsFilteringAfresh) {
    std::mt19937 rng(3);
    KeywordTable table;
    for (int i = 0; i < 2000; ++i) {
        std::string k;
        for (int n = 1 + static_cast<int>(rng() % 8); n > 0; --n)
            k.push_back("abAB c"[rng() % 6]);
        table.AppendKeyword(k);
    }
    FilteredTable model(table);
    for (const char* typed : {"a", "ab", "aba", "abab", "ab", "b", "b ", "B c"}) {
        model.SetFilter(typed);
        Rows shown;
        for (int r = 0; r < model.rowCount(); ++r)
            shown.push_back(model.SourceRow(r));
        EXPECT_EQ(shown, FilterRows(table, typed)) << typed;
    }
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
