// sources.ini: entries, broken entries, query encodings, answer formats, charsets, counts, backoff.
#include "workspace/SourceFormats.h"
#include "workspace/Sources.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

struct EncodeCase {
    QueryEncoding Encoding;
    std::string Keyword, Expected;
};
class Encoding : public ::testing::TestWithParam<EncodeCase> {};
TEST_P(Encoding, WritesTheKeywordSoItCannotChangeTheQuestion) {
    EXPECT_EQ(EncodeQuery(GetParam().Keyword, GetParam().Encoding), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Encoding,
    ::testing::Values(EncodeCase{QueryEncoding::Plus, "golf clubs", "golf+clubs"},
                      EncodeCase{QueryEncoding::Plus, "a&b#c%d+e", "a%26b%23c%25d%2Be"},
                      EncodeCase{QueryEncoding::Plus, "a\tb\rc\x7f\x01", "a%09b%0Dc%7F%01"},
                      EncodeCase{QueryEncoding::Plus, "caf\xc3\xa9 \"x\"?/=", "caf\xc3\xa9+\"x\"?/="},
                      EncodeCase{QueryEncoding::Percent, "golf clubs", "golf%20clubs"},
                      EncodeCase{QueryEncoding::Percent, "a-b_c.d~e", "a-b_c.d~e"},
                      EncodeCase{QueryEncoding::Percent, "caf\xc3\xa9&?+/", "caf%C3%A9%26%3F%2B%2F"}));

constexpr std::string_view GoodEntry = "[Suggest good]\nURL=http://h/s?q={query}\nFormat=json\nPath=1/*\nEnabled=1\n";

struct BrokenCase {
    std::string Section, Key;
    std::string Entry; // the lines after the section header
};
class BrokenEntries : public ::testing::TestWithParam<BrokenCase> {};
TEST_P(BrokenEntries, NameFileSectionAndKeyAndLeaveTheOthersWorking) {
    const BrokenCase& c = GetParam();
    const SourcesList list = ReadSources("[" + c.Section + "]\n" + c.Entry + "\n" + std::string(GoodEntry), "/f/sources.ini");
    ASSERT_EQ(list.Problems.size(), 1u);
    EXPECT_EQ(list.Problems[0].rfind("/f/sources.ini: [" + c.Section + "] " + c.Key + ": ", 0), 0u) << list.Problems[0];
    EXPECT_NE(list.FindSuggest("good"), nullptr);
    ASSERT_EQ(list.Suggest.size(), 2u); // the built-in and the good one
    EXPECT_EQ(list.EnabledSuggestIds(), (std::vector<std::string>{"builtin", "good"}));
}
INSTANTIATE_TEST_SUITE_P(
    Table, BrokenEntries,
    ::testing::Values(BrokenCase{"Suggest x", "Format", "URL=http://h/{query}\nFormat=yaml"},
                      BrokenCase{"Suggest x", "URL", "Format=json"},
                      BrokenCase{"Suggest x", "URL", "URL=http://h/?q=\nFormat=json"},
                      BrokenCase{"Suggest x", "URL", "URL=file:///etc/passwd?{query}\nFormat=json"},
                      BrokenCase{"Suggest x", "Format", "URL=http://h/{query}\nFormat=builtin"},
                      BrokenCase{"Suggest x", "End", "URL=http://h/{query}\nFormat=markers\nStart=<b>"},
                      BrokenCase{"Suggest x", "Delay", "URL=http://h/{query}\nFormat=json\nDelay=-5"},
                      BrokenCase{"Suggest x", "Query", "URL=http://h/{query}\nFormat=json\nQuery=base64"},
                      BrokenCase{"Count 2", "URL", "Enabled=1\nFormat=markers\nStart=a\nEnd=b"}));

TEST(SourcesFile, BuiltinsStayUnlessTheFileReplacesThem) {
    const SourcesList none = LoadSources("/nonexistent/sources.ini");
    EXPECT_TRUE(none.Problems.empty());
    EXPECT_EQ(none.EnabledSuggestIds(), std::vector<std::string>{"builtin"});
    for (const SourceEntry& count : none.Counts)
        EXPECT_FALSE(count.Polite());
    const SourcesList file = ReadSources("[Count 1]\nName=Bing\nURL=http://b/?q={query}\nFormat=markers\nStart=<i>\nEnd=</i>\n"
                                         "[Count 2]\nName=Off\nURL=http://o/?q={query}\nFormat=json\nEnabled=0\n"
                                         "[count 3]\nName=Renamed\nEnabled=1\n"
                                         "[Suggest builtin]\nEnabled=0\n",
                                         "s.ini");
    EXPECT_FALSE(file.Counts[0].Polite()); // Enabled missing: the built-in engine stays
    EXPECT_EQ(file.Counts[1].Name, "Yahoo");
    EXPECT_FALSE(file.Counts[2].Polite());
    EXPECT_EQ(file.Counts[2].Name, "Renamed");
    EXPECT_TRUE(file.EnabledSuggestIds().empty());
}

struct FormatCase {
    SourceFormat Format;
    std::string Path, Body;
    std::vector<std::string> Expected;
};
class Formats : public ::testing::TestWithParam<FormatCase> {};
TEST_P(Formats, ReachEveryStringOnThePath) {
    SourceEntry entry;
    entry.Format = GetParam().Format;
    entry.Path = GetParam().Path;
    entry.Start = "<li>";
    entry.End = "</li>";
    const ReadTexts read = ReadEntryTexts(entry, GetParam().Body);
    EXPECT_EQ(read.Error, "");
    EXPECT_EQ(read.Texts, GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Formats,
    ::testing::Values(
        FormatCase{SourceFormat::Json, "1/*", R"(["q",["a","b",3,null]])", {"a", "b"}},
        FormatCase{SourceFormat::Json, "*/phrase", R"([{"phrase":"a"},{"x":"y"},{"phrase":"b\u00e9"}])", {"a", "b\xc3\xa9"}},
        FormatCase{SourceFormat::Json, "suggestions/*/value", R"({"suggestions":[{"value":"a"},{"value":"b"}]})", {"a", "b"}},
        FormatCase{SourceFormat::Json, "1/*/0", R"(["q",[["a",0,[512]],["b",0]]])", {"a", "b"}},
        FormatCase{SourceFormat::Json, "1/9", R"(["q",["a"]])", {}},
        FormatCase{SourceFormat::Jsonp, "1/*/0", R"x(window.f(["q",[["a (x)",0]],{"k":1}]);)x", {"a (x)"}},
        FormatCase{SourceFormat::Xml, "CompleteSuggestion/suggestion/@data",
                   R"(<t><CompleteSuggestion><suggestion data="a &amp; b &#233;"/></CompleteSuggestion><Other><suggestion data="no"/></Other></t>)",
                   {"a & b \xc3\xa9"}},
        FormatCase{SourceFormat::Xml, "*/s", "<r><x><s>one</s></x><y><s>t&lt;wo</s><z/></y></r>", {"one", "t<wo"}},
        FormatCase{SourceFormat::Markers, "", "<ul><LI>a &amp; b</li><li></li><li>c", {"a & b"}}));

struct UnreadableCase {
    SourceFormat Format;
    std::string Body;
};
class Unreadable : public ::testing::TestWithParam<UnreadableCase> {};
TEST_P(Unreadable, IsAFailureNotAnEmptyAnswer) {
    SourceEntry entry;
    entry.Format = GetParam().Format;
    EXPECT_NE(ReadEntryTexts(entry, GetParam().Body).Error, "");
}
INSTANTIATE_TEST_SUITE_P(Table, Unreadable,
                         ::testing::Values(UnreadableCase{SourceFormat::Json, "<html>captcha</html>"},
                                           UnreadableCase{SourceFormat::Jsonp, "no parentheses"},
                                           UnreadableCase{SourceFormat::Xml, "<a><b></a>"}));

struct CharsetCase {
    std::string Body, ContentType, Charset, Expected;
};
class Charsets : public ::testing::TestWithParam<CharsetCase> {};
TEST_P(Charsets, DecodeToUtf8) {
    EXPECT_EQ(DecodeBody(GetParam().Body, GetParam().ContentType, GetParam().Charset), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Charsets,
    ::testing::Values(CharsetCase{"caf\xe9", "application/json; charset=ISO-8859-1", "", "caf\xc3\xa9"},
                      CharsetCase{"\xec\xee\xf1", "text/plain;Charset=\"windows-1251\"", "", "\xd0\xbc\xd0\xbe\xd1\x81"},
                      CharsetCase{"caf\xe9", "text/html; charset=utf-8", "ISO-8859-1", "caf\xc3\xa9"},
                      CharsetCase{"caf\xc3\xa9", "text/html", "", "caf\xc3\xa9"},
                      CharsetCase{"x\xff", "text/html; charset=no-such-set", "", "x\xff"}));

struct CountCase {
    std::string Text, Expected;
};
class Counts : public ::testing::TestWithParam<CountCase> {};
TEST_P(Counts, TakeTheFirstNumberWithItsGroups) {
    EXPECT_EQ(FirstCount(GetParam().Text), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Table, Counts,
                         ::testing::Values(CountCase{"About 1,230,000 results", "1230000"},
                                           CountCase{"52 000 000 r\xc3\xa9sultats", "52000000"},
                                           CountCase{"1.234.567 Ergebnisse", "1234567"},
                                           CountCase{"1'234 x", "1234"},
                                           CountCase{"12\xc2\xa0" "345\xe2\x80\xaf" "678", "12345678"},
                                           CountCase{"1.5 million", "1"},
                                           CountCase{"1,2345 and 9", "1"},
                                           CountCase{"Page 2 of 1,000 results", "2"},
                                           CountCase{"no results", ""}));

struct RetryCase {
    std::string Value;
    int Expected;
};
class RetryAfter : public ::testing::TestWithParam<RetryCase> {};
TEST_P(RetryAfter, WaitsWhatTheServerAsksUpToAMinute) {
    const long long now = QDateTime::fromString(QStringLiteral("Wed, 21 Oct 2015 07:28:00 +0000"), Qt::RFC2822Date).toSecsSinceEpoch();
    EXPECT_EQ(RetryAfterMs(GetParam().Value, now), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(Table, RetryAfter,
                         ::testing::Values(RetryCase{"", 5000}, RetryCase{"3", 3000}, RetryCase{"0", 0},
                                           RetryCase{"3600", 60000}, RetryCase{"99999999999999999999", 60000},
                                           RetryCase{"-1", 5000}, RetryCase{"soon", 5000},
                                           RetryCase{"Wed, 21 Oct 2015 07:28:10 GMT", 10000},
                                           RetryCase{"Wed, 21 Oct 2015 07:00:00 GMT", 0}));

} // namespace
} // namespace vorlith
