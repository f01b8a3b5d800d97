#include "stats/SearchEngineTable.h"

#include <gtest/gtest.h>

namespace vorlith {
namespace {

const SearchEngine& Google() {
    return SearchEngineTable[0];
}
const SearchEngine& Yahoo() {
    return SearchEngineTable[1];
}
const SearchEngine& Msn() {
    return SearchEngineTable[2];
}

TEST(SearchEngineTable, AsksGoogleYahooMsnInThatOrderIntoTheirOwnColumns) {
    ASSERT_EQ(SearchEngineTable.size(), 3u);
    EXPECT_EQ(Google().Target, Column::Google);
    EXPECT_EQ(Yahoo().Target, Column::Yahoo);
    EXPECT_EQ(Msn().Target, Column::Msn);
}

struct AddressCase {
    int Engine;
    std::int32_t Mode;
    std::string Keyword;
    std::string Expected;
};

class RequestAddresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(RequestAddresses, WrapInPreciseModeAndTurnOnlySpacesIntoPlus) {
    Endpoints endpoints;
    endpoints.GoogleSearchBase = "http://g.test";
    endpoints.YahooSearchBase = "http://y.test:8080";
    endpoints.MsnSearchBase = "http://m.test";
    const AddressCase& c = GetParam();
    EXPECT_EQ(RequestAddress(SearchEngineTable[static_cast<std::size_t>(c.Engine)], endpoints, c.Keyword,
                             WrapText(c.Mode)),
              c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RequestAddresses,
    ::testing::Values(AddressCase{0, 0, "golf clubs", "http://g.test/search?q=%22golf+clubs%22"},
                      AddressCase{1, 0, "golf clubs", "http://y.test:8080/search?p=%22golf+clubs%22"},
                      AddressCase{2, 0, "golf clubs", "http://m.test/results.aspx?q=%22golf+clubs%22"},
                      AddressCase{0, 1, "golf clubs", "http://g.test/search?q=golf+clubs"},
                      AddressCase{1, 1, "golf clubs", "http://y.test:8080/search?p=golf+clubs"},
                      AddressCase{2, 1, "golf clubs", "http://m.test/results.aspx?q=golf+clubs"},
                      // Any mode but 0 is broad.
                      AddressCase{0, 7, "golf clubs", "http://g.test/search?q=golf+clubs"},
                      AddressCase{0, -1, "a", "http://g.test/search?q=a"},
                      // &, +, # and % and control bytes cannot change the question; quotes stay.
                      AddressCase{0, 1, "rock & roll", "http://g.test/search?q=rock+%26+roll"},
                      AddressCase{1, 0, "c++ tips", "http://y.test:8080/search?p=%22c%2B%2B+tips%22"},
                      AddressCase{2, 1, "#1 golf", "http://m.test/results.aspx?q=%231+golf"},
                      AddressCase{0, 1, "100% \"pure\"\tx", "http://g.test/search?q=100%25+\"pure\"%09x"},
                      AddressCase{0, 1, "  two  ", "http://g.test/search?q=++two++"},
                      // An empty keyword still makes a request.
                      AddressCase{0, 1, "", "http://g.test/search?q="},
                      AddressCase{2, 0, "", "http://m.test/results.aspx?q=%22%22"}));

struct CutCase {
    const char* Name;
    int Engine;
    std::string Page;
    std::string Expected;
};

class CountCuts : public ::testing::TestWithParam<CutCase> {};

TEST_P(CountCuts, FindTheCountBetweenTheMarkers) {
    const CutCase& c = GetParam();
    EXPECT_EQ(CutCount(SearchEngineTable[static_cast<std::size_t>(c.Engine)], c.Page), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CountCuts,
    ::testing::Values(
        CutCase{"GoogleCount", 0, "x<font size=-1>Results 1 - 10 of about <b>1,234</b> for golf", "1,234"},
        CutCase{"GoogleIgnoresCase", 0, "<FONT SIZE=-1>results 1 - 10 OF ABOUT <B>5</b>", "5"},
        // The first cut only positions: without its start marker the page is searched from the top.
        CutCase{"GoogleWithoutFirstMarker", 0, "Results of about <b>77</b>", "77"},
        // The positioning cut skips an earlier "of about <b>" than the one after the results line.
        CutCase{"GoogleSkipsEarlierMarker", 0,
                "ad of about <b>1</b> <font size=-1>Results 1 - 10 of about <b>2</b>", "2"},
        CutCase{"GoogleWithoutSecondStart", 0, "<font size=-1>Results 1 - 10 </b>", ""},
        CutCase{"GoogleWithoutSecondEnd", 0, "<font size=-1>Results 1 - 10 of about <b>1,234", ""},
        CutCase{"GoogleKeepsTextAsItIs", 0, "<font size=-1>Results of about <b> 1,234 results\r\n</b>",
                " 1,234 results\r\n"},
        CutCase{"GoogleEmptyPage", 0, "", ""},
        CutCase{"YahooCount", 1, "<span class=\"infotext\">1 - 10 of 2,345 for golf</span>", "2,345"},
        CutCase{"YahooIgnoresCase", 1, "<SPAN CLASS=\"INFOTEXT\">1 - 10 OF about 3,000 FOR golf",
                "about 3,000"},
        CutCase{"YahooWithoutFirstMarker", 1, "1 - 10 of 99 for golf", "99"},
        CutCase{"YahooWithoutFor", 1, "\"infotext\">1 - 10 of 2,345", ""},
        CutCase{"MsnCount", 2, "<span id=\"count\">1-10 of 987 results</span>", "987"},
        CutCase{"MsnTrimsSpacesAndControls", 2, "<span id=\"count\">1-10 of \t 987 results\r\n</span>",
                "987"},
        CutCase{"MsnIgnoresMarkerCase", 2, "<SPAN ID=\"COUNT\">1-10 OF 42 results</SPAN>", "42"},
        // The word is removed in its exact case only, and a removal can form it again.
        CutCase{"MsnKeepsCapitalResults", 2, "<span id=\"count\">1-10 of 5 Results</span>", "5 Results"},
        CutCase{"MsnRemovesFormedWord", 2, "<span id=\"count\">1-10 of 7 resresultsults</span>", "7"},
        CutCase{"MsnOnlyTheWord", 2, "<span id=\"count\">1-10 of results</span>", ""},
        CutCase{"MsnWithoutSpanEnd", 2, "<span id=\"count\">1-10 of 987 results", ""},
        CutCase{"MsnNoMarkers", 2, "<html>nothing found</html>", ""}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vorlith
