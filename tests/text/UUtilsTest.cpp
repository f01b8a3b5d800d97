#include "text/UUtils.h"

#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>
#include <string>

namespace vorlith {
namespace {

struct CutCase {
    const char* name;
    std::string buffer;
    std::string first;
    std::string second;
    std::string cut;
    std::string rest;
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtractBetweenTable : public ::testing::TestWithParam<CutCase> {};

TEST_P(ExtractBetweenTable, CutsAndConsumes) {
    const CutCase& c = GetParam();
    const std::string page = c.buffer;
    std::string_view buffer = page;
    EXPECT_EQ(ExtractBetween(buffer, c.first, c.second), c.cut);
    EXPECT_EQ(buffer, c.rest);
}

const std::string kAccentSmall = "\xe9"; // e acute in the ANSI code page
const std::string kAccentCapital = "\xc9";

INSTANTIATE_TEST_SUITE_P(
    Markers, ExtractBetweenTable,
    ::testing::Values(
        CutCase{"MarkersInOtherCase", "xx<TR><TD>12</td>yy", "<tr><td>", "</td>", "12", "</td>yy"},
        CutCase{"NoFirstMarker", "abc", "<tr><td>", "</td>", "", "abc"},
        CutCase{"NoSecondMarker", "x<tr><td>12", "<tr><td>", "</td>", "", "12"},
        CutCase{"SecondRightAfterFirst", "<tr><td></td>tail", "<tr><td>", "</td>", "", "</td>tail"},
        CutCase{"EmptyFirstMarker", "a<b>c", "", "c", "", "a<b>c"},
        CutCase{"EmptySecondMarker", "a<b>c", "<B>", "", "", "c"},
        CutCase{"EmptyBuffer", "", "a", "b", "", ""},
        CutCase{"FirstOccurrenceOfEachMarker", "[1][2]", "[", "]", "1", "][2]"},
        CutCase{"SecondSearchedOnlyAfterFirst", "b a x b", "a", "b", " x ", "b"},
        CutCase{"MarkersOverlapInText", "aaab", "aa", "ab", "", "ab"},
        CutCase{"FirstMarkerAtEnd", "xyz<END>", "<end>", "z", "", ""},
        CutCase{"CutKeepsCaseOfBuffer", "<b>GoLf</B>", "<B>", "</b>", "GoLf", "</B>"},
        CutCase{"AccentedMatchesSameByte", "x" + kAccentSmall + "1y", kAccentSmall, "Y", "1", "y"},
        CutCase{"AccentedCapitalIsAnotherByte", "x" + kAccentCapital + "1y", kAccentSmall, "y", "",
                "x" + kAccentCapital + "1y"},
        CutCase{"AtIsNotBacktick", "`a@a", "@", "a", "", "a"},
        CutCase{"BracketIsNotBrace", "[a{b", "{", "B", "", "b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExtractBetween, ChainedCutsReuseTheSecondMarker) {
    const std::string page = "<font size=-1>Results 1 - 10 of about <b>1,234</b> for golf";
    std::string_view buffer = page;
    EXPECT_EQ(ExtractBetween(buffer, "<font size=-1>Results", "of about <b>"), " 1 - 10 ");
    EXPECT_EQ(buffer, "of about <b>1,234</b> for golf");
    EXPECT_EQ(ExtractBetween(buffer, "of about <b>", "</b>"), "1,234");
    EXPECT_EQ(buffer, "</b> for golf");
}

TEST(ExtractBetween, WalksRowsFrontToBackAndIgnoresTheExtraOffset) {
    const std::string page = "<TD>a</td><td>b</TD><td>c";
    std::string_view buffer = page;
    EXPECT_EQ(ExtractBetween(buffer, "<td>", "</td>", 3), "a");
    EXPECT_EQ(ExtractBetween(buffer, "<td>", "</td>"), "b");
    EXPECT_EQ(ExtractBetween(buffer, "<td>", "</td>"), "");
    EXPECT_EQ(buffer, "c");
    // The cut views into the page itself.
    buffer = page;
    const std::string_view cut = ExtractBetween(buffer, "<td>", "</td>");
    EXPECT_EQ(cut.data(), page.data() + 4);
}

struct ReplaceCase {
    const char* name;
    std::string source;
    std::string pattern;
    std::string replacement;
    std::string result;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplaceAllTable : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTable, Replaces) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(ReplaceAll(c.source, c.pattern, c.replacement), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ReplaceAllTable,
    ::testing::Values(ReplaceCase{"EveryOccurrence", "aXbXc", "X", "-", "a-b-c"},
                      ReplaceCase{"EmptyPattern", "aXbXc", "", "-", "aXbXc"},
                      ReplaceCase{"EmptyText", "", "X", "-", ""},
                      ReplaceCase{"NoOccurrence", "abc", "x", "-", "abc"},
                      ReplaceCase{"CaseCounts", "aXbxc", "x", "-", "aXb-c"},
                      ReplaceCase{"FormedByReplacementAgain", "&amp;amp;", "&amp;", "&", "&"},
                      ReplaceCase{"LongAmpChain", "&amp;amp;amp;amp;amp;", "&amp;", "&", "&"},
                      ReplaceCase{"FormedAcrossRemoval", "<st<b>rong>", "<b>", "", "<strong>"},
                      ReplaceCase{"NestedRemovals", "a<<<b>b>b>z", "<b>", "", "az"},
                      ReplaceCase{"FormedFromTheLeft", "aab", "ab", "b", "b"},
                      ReplaceCase{"OverlappingOccurrences", "aaaa", "aa", "a", "a"},
                      ReplaceCase{"AtBothEnds", "XmidX", "X", "", "mid"},
                      ReplaceCase{"WholeText", "pat", "pat", "new", "new"},
                      ReplaceCase{"LongerReplacementFormingAgain", "aab", "ab", "bba", "bbbbaa"},
                      ReplaceCase{"ReplacementHoldsPattern", "a.b.", ".", "..", "a..b.."},
                      ReplaceCase{"ReplacementHoldsPatternOverlapping", "aaa", "aa", "aaa", "aaaa"},
                      ReplaceCase{"NulBytes", std::string("a\0b\0", 4), std::string("\0", 1), "-", "a-b-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceAll, RefusesAReplacementThatKeepsGrowing) {
    // Each "ab" becomes "bba": a run of k a's before a b doubles the b's k times.
    EXPECT_THROW(ReplaceAll(std::string(30, 'a') + "b", "ab", "bba"), std::length_error);
    EXPECT_EQ(ReplaceAll(std::string(5, 'a') + "b", "ab", "bba"), std::string(32, 'b') + "aaaaa");
}

struct CleanCase {
    const char* name;
    std::string text;
    std::string result;
};

void PrintTo(const CleanCase& c, std::ostream* os) {
    *os << c.name;
}

class CleanHtmlTable : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanHtmlTable, Cleans) {
    EXPECT_EQ(CleanHtml(GetParam().text), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CleanHtmlTable,
    ::testing::Values(
        CleanCase{"TagsEntityAndLineEnds", "  <b>golf&nbsp;clubs</b>\r\n", "golf clubs"},
        CleanCase{"AmpThenNbspThenTrim", "&amp;nbsp;", ""}, CleanCase{"BreakBecomesSpace", "a<br>b", "a b"},
        CleanCase{"SelfClosingBreakRemoved", "a<br />b", "ab"},
        CleanCase{"QuotesRemoved", "\"say hi\"", "say hi"},
        CleanCase{"OnlyListedTagsAndSpaces", " <tr> <td></td> </TR> <B></B> <em></em> ", ""},
        CleanCase{"OtherCaseMixStays", "a<Br>b<Td>", "a<Br>b<Td>"},
        CleanCase{"AttributesStay", "<td class=x>1</td>", "<td class=x>1"},
        CleanCase{"OtherEntitiesStay", "&lt;&quot;&#039;", "&lt;&quot;'"},
        CleanCase{"AmpChainCollapses", "&amp;amp;amp;", "&"}, CleanCase{"TabsBecomeSpaces", "a\tb", "a b"},
        CleanCase{"PhoneAndFaxLabels", "Tel : 123 Fax : 456", "123 456"},
        CleanCase{"ParagraphsAndHeadings", "<p>a</p><P>b</P><h3>c</h3><H3>d</H3>", "a bcd"},
        CleanCase{"LaterBreakFormedByRemovals", "x<B<b>R>y", "xy"},
        CleanCase{"EarlierPairNotAppliedAgain", "&am<strong>p;", "&amp;"},
        CleanCase{"EarlierTagNotAppliedAgain", "<str<b>ong>", "<strong>"},
        CleanCase{"SpaceFormsSelfClosingBreak", "a<br<p>/>b", "ab"},
        CleanCase{"TrimsControlBytesNotHighBytes", "\x01\x1f \xa0x\xa0 \x7f\x20", "\xa0x\xa0 \x7f"},
        CleanCase{"InnerControlBytesStay", "a\x01\x0b b", "a\x01\x0b b"}, CleanCase{"EmptyText", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Each pair of the list on its own, between two letters (which the trim leaves alone).
struct PairCase {
    std::string pattern;
    std::string replacement;
};

void PrintTo(const PairCase& c, std::ostream* os) {
    *os << "[" << c.pattern << "]";
}

class CleanHtmlPairs : public ::testing::TestWithParam<PairCase> {};

TEST_P(CleanHtmlPairs, ReplacesThePair) {
    EXPECT_EQ(CleanHtml("x" + GetParam().pattern + "y"), "x" + GetParam().replacement + "y");
}

INSTANTIATE_TEST_SUITE_P(
    List, CleanHtmlPairs,
    ::testing::Values(PairCase{"&amp;", "&"}, PairCase{"&nbsp;", " "}, PairCase{"\t", " "},
                      PairCase{"<wbr>", ""}, PairCase{"&#039;", "'"}, PairCase{"Tel : ", ""},
                      PairCase{"Fax : ", ""}, PairCase{"<strong>", ""}, PairCase{"</strong>", ""},
                      PairCase{"<em>", ""}, PairCase{"<hr>", ""}, PairCase{"<h3>", ""}, PairCase{"</h3>", ""},
                      PairCase{"<H3>", ""}, PairCase{"</H3>", ""}, PairCase{"</em>", ""}, PairCase{"<u>", ""},
                      PairCase{"</u>", ""}, PairCase{"</INVALID>", ""}, PairCase{"<br>", " "},
                      PairCase{"<BR>", " "}, PairCase{"<tr>", ""}, PairCase{"</tr>", ""},
                      PairCase{"<td>", ""}, PairCase{"</td>", ""}, PairCase{"<table>", ""},
                      PairCase{"</table>", ""}, PairCase{"</font>", ""}, PairCase{"<b>", ""},
                      PairCase{"<i>", ""}, PairCase{"<blockquote>", ""}, PairCase{"</p>", ""},
                      PairCase{"<p>", " "}, PairCase{"<P>", " "}, PairCase{"</P>", ""}, PairCase{"</b>", ""},
                      PairCase{"</i>", ""}, PairCase{"</th>", ""}, PairCase{"<br />", ""},
                      PairCase{"</FONT>", ""}, PairCase{"</TD>", ""}, PairCase{"<TD>", ""},
                      PairCase{"<B>", ""}, PairCase{"</B>", ""}, PairCase{"<TR>", ""}, PairCase{"</TR>", ""},
                      PairCase{"\"", ""}, PairCase{"\n", " "}, PairCase{"\r", " "}));

} // namespace
} // namespace vorlith
