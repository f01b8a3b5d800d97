#include "harvest/Suggestions.h"

#include "support/ScriptedUi.h"
#include "text/UUtils.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace vorlith {
namespace {

using test::ScriptedUi;

struct AddressCase {
    const char* Name;
    std::string Keyword;
    std::string Seed;
};

class SuggestionAddresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SuggestionAddresses, EverySpaceBecomesAPlusAndNothingElseChanges) {
    const AddressCase& c = GetParam();
    EXPECT_EQ(SuggestionAddress("http://svc.example", c.Keyword),
              "http://svc.example/?seed=" + c.Seed + "&adult_filter=remove_offensive&suggest=Hit+Me");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SuggestionAddresses,
    ::testing::Values(AddressCase{"TwoWords", "golf clubs", "golf+clubs"},
                      AddressCase{"OuterAndDoubleSpaces", " golf  clubs ", "+golf++clubs+"},
                      AddressCase{"OnlySpaces", "   ", "+++"},
                      AddressCase{"ReservedCharactersEncoded", "a&b%20+c?d#e", "a%26b%2520%2Bc?d%23e"},
                      AddressCase{"NonAscii", "caf\xe9 cr\xc3\xa8me", "caf\xe9+cr\xc3\xa8me"},
                      AddressCase{"ControlBytesEncoded", "a\tb\x7f", "a%09b%7F"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct Row {
    std::string Keyword;
    std::string Count;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << "{" << row.Keyword << ", " << row.Count << "}";
}

class Reading : public ::testing::Test {
protected:
    std::vector<Row> Read(std::string_view page) {
        ParseSuggestions(ws, page);
        std::vector<Row> rows;
        for (const KeywordRow& r : ws.table.Rows())
            rows.push_back({r.Cell[0], r.Cell[1]});
        return rows;
    }

    QTemporaryDir folder;
    ScriptedUi ui;
    Workspace ws{ui, folder.path().toStdString()};
};

std::string SuggestionRow(const char* count, const char* keyword) {
    return std::string("<tr><td>") + count + "</td><td><a href=\"/k?q=1\">" + keyword + "</a></td></tr>\r\n";
}

const std::string Head =
    "<table><thead><tr><th>Searches</th></tr></thead><tfoot><tr><td>x</td></tr></tfoot><tbody>";

struct PageCase {
    const char* Name;
    std::string Page;
    std::vector<Row> Expected;
};

class PageReading : public Reading, public ::testing::WithParamInterface<PageCase> {};

TEST_P(PageReading, RowsComeFromAfterTheFooter) {
    EXPECT_EQ(Read(GetParam().Page), GetParam().Expected);
    EXPECT_TRUE(ui.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageReading,
    ::testing::Values(
        PageCase{"ThreeSuggestions",
                 Head + SuggestionRow("1,234", "golf clubs") + SuggestionRow("99", "golf") +
                     SuggestionRow("7", "g"),
                 {{"golf clubs", "1,234"}, {"golf", "99"}, {"g", "7"}}},
        PageCase{"ValuesAreCleaned",
                 Head + SuggestionRow(" <b>1,2</b>&nbsp;", "golf&nbsp;&amp;<br>clubs\r\n"),
                 {{"golf & clubs", "1,2"}}},
        PageCase{"FooterInCapitalsOnly", "<TFOOT></TFOOT><tbody>" + SuggestionRow("5", "golf"), {}},
        PageCase{
            "RowsInCapitals", Head + "<TR><TD>12</TD><TD><A HREF=\"x\">Golf</A></TD></TR>", {{"Golf", "12"}}},
        PageCase{"NothingBeforeTheFooterIsRead",
                 SuggestionRow("9", "before") + Head + SuggestionRow("1", "after"),
                 {{"after", "1"}}},
        PageCase{"ARowRightAfterTheFooterIsSkipped",
                 "</tfoot>" + SuggestionRow("1", "lost") + SuggestionRow("2", "kept"),
                 {{"kept", "2"}}},
        PageCase{"AnEmptyCountEndsTheReading",
                 Head + SuggestionRow("3", "a") + SuggestionRow("", "b") + SuggestionRow("4", "c"),
                 {{"a", "3"}}},
        PageCase{"ACountOfOnlyMarkupEndsTheReading",
                 Head + SuggestionRow("3", "a") + SuggestionRow("<b></b> &nbsp;", "b") +
                     SuggestionRow("4", "c"),
                 {{"a", "3"}}},
        PageCase{"ACountWithoutALinkGivesAnEmptyKeyword", Head + "<tr><td>5</td></tr></tbody>", {{"", "5"}}},
        PageCase{"ARowWithoutALinkTakesTheNextLink",
                 Head + "<tr><td>5</td><td>none</td></tr>" + SuggestionRow("6", "six") +
                     SuggestionRow("7", "seven"),
                 {{"six", "5"}, {"seven", "7"}}},
        PageCase{"ALinkWithoutItsEndTagRunsToTheNextOne",
                 Head + "<tr><td>5</td><td><a href=\"x\">open" + SuggestionRow("6", "six"),
                 {{"open6<a href=/k?q=1>six", "5"}}},
        PageCase{"ALinkNeverClosed", Head + "<tr><td>5</td><td><a href=\"x\">open", {{"", "5"}}},
        PageCase{"NoRowMarker", Head + "<tr><th>5</th></tr>", {}},
        PageCase{"CountCellNeverClosed", Head + "<tr><td>5", {}}, PageCase{"EmptyPage", "", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Reading, NumbersContinueFromTheRowCountAndTheCountIsShownAfterEachRow) {
    for (int i = 0; i < 10; ++i)
        ws.table.AppendKeyword("typed");
    ws.table.Delete(0); // numbers are not recomputed: 2..10 remain, nine rows
    Read(Head + SuggestionRow("1", "a") + SuggestionRow("2", "b") + SuggestionRow("3", "c"));
    ASSERT_EQ(ws.table.RowCount(), 12);
    EXPECT_EQ(ws.table.Caption(9), "10");
    EXPECT_EQ(ws.table.Caption(10), "11");
    EXPECT_EQ(ws.table.Caption(11), "12");
    EXPECT_EQ(ws.table.Cell(11, 2), "");
    EXPECT_EQ(ws.table.Cell(11, 4), "");
    EXPECT_FALSE(ws.table.Checked(11));
    std::vector<std::string> shown;
    for (const auto& [panel, text] : ui.StatusLog)
        if (panel == StatusPanel::Second)
            shown.push_back(text);
    EXPECT_EQ(shown, (std::vector<std::string>{"10 items listed", "11 items listed", "12 items listed"}));
    EXPECT_EQ(ws.SecondStatusText(), "12 items listed");
}

TEST_F(Reading, OneRowHasNoSingularForm) {
    Read(Head + SuggestionRow("1", "a"));
    EXPECT_EQ(ws.SecondStatusText(), "1 items listed");
}

TEST_F(Reading, NoRowsLeaveTheItemCountAlone) {
    Read(Head);
    EXPECT_EQ(ws.SecondStatusText(), "0 item listed");
    EXPECT_TRUE(ui.StatusLog.empty());
}

// The reading as plainly written: every cut searches from where the last one left the copy.
std::vector<Row> PlainReading(std::string_view page) {
    std::vector<Row> rows;
    if (page.find("</tfoot>") == std::string_view::npos)
        return rows;
    std::string_view copy = page;
    ExtractBetween(copy, "</tfoot>", ">");
    for (std::string count = CleanHtml(ExtractBetween(copy, "<tr><td>", "</td>")); !count.empty();
         count = CleanHtml(ExtractBetween(copy, "<tr><td>", "</td>")))
        rows.push_back({CleanHtml(ExtractBetween(copy, "\">", "</a>")), count});
    return rows;
}

// The reading skips searches for markers it already knows to be missing; it must never change the result.
TEST_F(Reading, MatchesThePlainReadingOnRandomPages) {
    const char* const pieces[] = {"<tr><td>12</td>",
                                  "<TR><TD>3</td>",
                                  "<tr><td> </td>",
                                  "<tr><td>",
                                  "</td>",
                                  "<a href=\"k\">golf</a>",
                                  "\">",
                                  "\"></a>",
                                  "</a>",
                                  "</A>",
                                  "</tfoot>",
                                  "</tfoot>>",
                                  ">",
                                  "<tbody>",
                                  "\"",
                                  "12",
                                  "golf",
                                  " ",
                                  "\t",
                                  "\r\n",
                                  "Tel : ",
                                  "Fax :",
                                  "\x01",
                                  "<b>",
                                  "</TD>",
                                  "</tfoot",
                                  "&nbsp;"};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        for (int n = length(random); n > 0; --n)
            page += pieces[pick(random)];
        ws.table.DeleteAll();
        ASSERT_EQ(Read(page), PlainReading(page)) << page;
    }
}

} // namespace
} // namespace vorlith
