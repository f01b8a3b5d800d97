#include "StandinPages.h"

#include "StandinOptions.h"

#include <gtest/gtest.h>
#include <set>

namespace vorlith::standin {
namespace {

TEST(StandinPages, ThousandsSeparators) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1,000"},
        {12345, "12,345"},
        {999999, "999,999"},
        {1000000, "1,000,000"},
        {2147483648ULL, "2,147,483,648"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(WithThousandsSeparators(value), text) << value;
}

TEST(StandinPages, KeywordsAreFiledInOneForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"golf clubs", "golf clubs"},
        {" Golf  CLUBS ", "golf clubs"},
        {"\tgolf\r\n", "golf"},
        {"   ", ""},
        {"R&B", "r&b"},
        {"caf\xe9", "caf\xe9"},
    };
    for (const auto& [typed, filed] : cases)
        EXPECT_EQ(NormalizeKeyword(typed), filed) << typed;
}

class Suggestions : public ::testing::TestWithParam<const char*> {};

TEST_P(Suggestions, AreRepeatableDistinctRelatedAndMostSearchedFirst) {
    const auto list = SuggestionsFor(GetParam());
    EXPECT_EQ(list.size(), SuggestionsFor(GetParam()).size());
    ASSERT_GE(list.size(), 20u);
    ASSERT_LE(list.size(), 100u);
    const std::string keyword = NormalizeKeyword(GetParam());
    EXPECT_EQ(list.front().Keyword, keyword);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_NE(list[i].Keyword.find(keyword), std::string::npos) << list[i].Keyword;
        EXPECT_TRUE(seen.insert(list[i].Keyword).second) << "twice: " << list[i].Keyword;
        EXPECT_GE(list[i].Count, 1u);
        if (i > 0) {
            EXPECT_LE(list[i].Count, list[i - 1].Count) << i;
        }
    }
    EXPECT_EQ(SuggestionPage(GetParam()), SuggestionPage(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Seeds, Suggestions,
                         ::testing::Values("golf clubs", "golf", "Golf Clubs", "cheap used golf clubs uk",
                                           "r&b", "a", "x y z w v u", "caf\xe9 cr\xe8me"));

TEST(StandinPages, DifferentSeedsGiveDifferentLists) {
    EXPECT_NE(SuggestionPage("golf clubs"), SuggestionPage("tennis rackets"));
    std::set<std::size_t> sizes;
    for (const char* seed : {"golf", "tennis", "chess", "poker", "garden", "books", "shoes", "music"})
        sizes.insert(SuggestionsFor(seed).size());
    EXPECT_GT(sizes.size(), 2u) << "list lengths should vary with the seed";
}

TEST(StandinPages, EmptySeedGivesAPageWithoutRows) {
    EXPECT_TRUE(SuggestionsFor("  ").empty());
    const std::string page = SuggestionPage("  ");
    EXPECT_NE(page.find("</tfoot>"), std::string::npos);
    EXPECT_EQ(page.find("<tr><td>"), std::string::npos) << "no suggestion row expected";
}

TEST(StandinPages, MarkupInTheSeedIsEscaped) {
    const std::string page = SuggestionPage("<b>\"x\"</b> & y");
    EXPECT_EQ(page.find("<b>\""), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;&quot;x&quot;&lt;/b&gt; &amp; y"), std::string::npos);
}

struct CountCase {
    Engine engine;
    const char* query;
};

TEST(StandinPages, PhraseCountsAreSmallerThanBroadOnesOnEveryEngine) {
    for (Engine engine : {Engine::Google, Engine::Yahoo, Engine::Msn})
        for (const char* words : {"golf", "golf clubs", "cheap golf clubs", "a b c d e f", "Tennis"}) {
            const std::uint64_t broad = ResultCount(engine, words);
            const std::uint64_t phrase = ResultCount(engine, "\"" + std::string(words) + "\"");
            EXPECT_GT(broad, 0u) << words;
            EXPECT_LT(phrase, broad) << words;
            EXPECT_GT(phrase, 0u) << words;
            EXPECT_EQ(broad, ResultCount(engine, words)) << "repeatable";
        }
}

TEST(StandinPages, OneWordCountsPassThirtyTwoBits) {
    for (const char* word : {"golf", "tennis", "chess", "poker", "x"})
        EXPECT_GT(ResultCount(Engine::Google, word), 2147483647u) << word;
    EXPECT_LT(ResultCount(Engine::Google, "golf clubs"), 2147483647u);
}

TEST(StandinPages, QueriesWithoutWordsCountNothing) {
    for (const char* query : {"", "\"\"", "   ", "\" \""})
        for (Engine engine : {Engine::Google, Engine::Yahoo, Engine::Msn}) {
            EXPECT_EQ(ResultCount(engine, query), 0u);
            const std::string page = ResultsPage(engine, query);
            EXPECT_EQ(page.find("of about <b>"), std::string::npos);
            EXPECT_EQ(page.find("infotext"), std::string::npos);
            EXPECT_EQ(page.find("id=\"count\""), std::string::npos);
        }
}

TEST(StandinPages, UpdateDescriptionCarriesTheVersion) {
    EXPECT_EQ(UpdateDescription("1.05"), "[APPLICATION]\r\nName=Vorlith\r\nVersion=1.05\r\n");
}

TEST(StandinOptions, ReadsEveryOption) {
    const auto parsed = ParseOptions({"--port", "8080", "--challenge", "3", "--challenge-word", "trap",
                                      "--reveal-answers", "--version", "2.0", "--latency", "25",
                                      "--fail-rate", "0.25", "--drip", "4096", "--seed", "99", "--quiet"});
    ASSERT_TRUE(parsed.Parsed) << parsed.Error;
    const Options& o = *parsed.Parsed;
    EXPECT_EQ(o.Port, 8080);
    EXPECT_EQ(o.ChallengeEvery, 3);
    EXPECT_EQ(o.ChallengeWord, "trap");
    EXPECT_TRUE(o.RevealAnswers);
    EXPECT_EQ(o.Version, "2.0");
    EXPECT_EQ(o.LatencyMs, 25);
    EXPECT_DOUBLE_EQ(o.FailRate, 0.25);
    EXPECT_EQ(o.DripBytesPerSecond, 4096u);
    EXPECT_EQ(o.Seed, 99u);
    EXPECT_TRUE(o.Quiet);
}

TEST(StandinOptions, DefaultsAreAPlainServiceOnAFreePort) {
    const auto parsed = ParseOptions({});
    ASSERT_TRUE(parsed.Parsed);
    EXPECT_EQ(parsed.Parsed->Port, 0);
    EXPECT_EQ(parsed.Parsed->ChallengeEvery, 0);
    EXPECT_FALSE(parsed.Parsed->RevealAnswers);
    EXPECT_EQ(parsed.Parsed->Version, "1.04");
    EXPECT_EQ(parsed.Parsed->FailRate, 0.0);
    EXPECT_EQ(parsed.Parsed->DripBytesPerSecond, 0u);
}

TEST(StandinOptions, RefusesBadArguments) {
    const std::vector<std::vector<std::string>> bad = {
        {"--port"},
        {"--port", "65536"},
        {"--port", "-1"},
        {"--port", "80x"},
        {"--fail-rate", "1.5"},
        {"--fail-rate", "-0.1"},
        {"--fail-rate", "nan"},
        {"--fail-rate", ""},
        {"--latency", "x"},
        {"--drip", "-5"},
        {"--challenge-word", ""},
        {"--challenge-word", "two words"},
        {"--version", "1\n[x]"},
        {"--bogus"},
        {"port"},
    };
    for (const auto& arguments : bad) {
        const auto parsed = ParseOptions(arguments);
        EXPECT_FALSE(parsed.Parsed) << arguments.front() << " " << (arguments.size() > 1 ? arguments[1] : "");
        EXPECT_FALSE(parsed.Error.empty());
    }
    EXPECT_TRUE(ParseOptions({"--help"}).HelpAsked);
}

} // namespace
} // namespace vorlith::standin
