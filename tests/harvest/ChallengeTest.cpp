#include "harvest/Challenge.h"

#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::ScriptedUi;

constexpr const char* Random = R"(<input type="hidden" name="random" value=")";
constexpr const char* Seed = R"(<input type="hidden" name="seed" value=")";

std::string Input(const char* marker, const char* value) {
    return std::string(marker) + value + "\">";
}

struct ParseCase {
    const char* Name;
    std::string Page;
    ChallengeFields Expected;
};

class ParseChallengeCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseChallengeCases, CutsTheHiddenValuesAndTheImageAddressInOrder) {
    const ParseCase& c = GetParam();
    const ChallengeFields got = ParseChallenge(c.Page);
    EXPECT_EQ(got.ChallengeRandom, c.Expected.ChallengeRandom);
    EXPECT_EQ(got.ChallengeSeed, c.Expected.ChallengeSeed);
    EXPECT_EQ(got.ChallengeImageURL, c.Expected.ChallengeImageURL);
}

const std::string Sentence(ChallengeSentence);

INSTANTIATE_TEST_SUITE_P(
    Table, ParseChallengeCases,
    ::testing::Values(
        ParseCase{"Usual",
                  "<p>" + Sentence + "</p>" + Input(Random, "8811") + Input(Seed, "golf+clubs") +
                      R"(<img src="http://img.example/c.gif?r=8811&amp;s=2">)",
                  {"8811", "golf+clubs", "http://img.example/c.gif?r=8811&s=2"}},
        ParseCase{"AmpersandsReplacedInOnePass",
                  Input(Random, "r") + Input(Seed, "s") + R"(<img src="/c?a=1&amp;amp;b=2&amp;&amp;c=3">)",
                  {"r", "s", "/c?a=1&amp;b=2&&c=3"}},
        ParseCase{"HiddenValuesTakenRaw",
                  Input(Random, "a&amp;b%20c") + Input(Seed, "x y") + R"(src="i")",
                  {"a&amp;b%20c", "x y", "i"}},
        ParseCase{"EmptyValues", Input(Random, "") + Input(Seed, "") + R"(src="")", {"", "", ""}},
        ParseCase{"SeedBeforeRandomIsNotFound",
                  Input(Seed, "s") + Input(Random, "r") + R"(src="i")",
                  {"r", "", "i"}},
        ParseCase{"NoRandomInput", Input(Seed, "s") + R"(src="i")", {"", "s", "i"}},
        ParseCase{"NoHiddenInputs", R"(<img src="only.gif">)", {"", "", "only.gif"}},
        ParseCase{"ImageBeforeTheInputsIsNotSeen",
                  R"(<img src="logo.gif">)" + Input(Random, "r") + Input(Seed, "s"),
                  {"r", "s", ""}},
        ParseCase{"FirstSourceAfterTheInputs",
                  Input(Random, "r") + Input(Seed, "s") + R"(<script src="x.js"></script><img src="c.gif">)",
                  {"r", "s", "x.js"}},
        ParseCase{
            "MarkersInCapitals",
            R"(<INPUT TYPE="hidden" NAME="random" VALUE="R1"><Input Type="Hidden" Name="Seed" Value="S1"><IMG SRC="C.GIF">)",
            {"R1", "S1", "C.GIF"}},
        ParseCase{"MissingClosingQuote", Input(Random, "r") + Seed + "no end", {"r", "", ""}},
        ParseCase{"EmptyPage", "", {"", "", ""}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(AnswerAddress, JoinsThePiecesWithoutEncoding) {
    EXPECT_EQ(AnswerAddress("http://svc.example", "a b&c", "1%2", "golf+clubs"),
              "http://svc.example/keyword-suggestion-tool.html?password=a b&c&random=1%2&seed=golf+clubs");
    EXPECT_EQ(AnswerAddress("http://svc.example", "", "", ""),
              "http://svc.example/keyword-suggestion-tool.html?password=&random=&seed=");
}

struct AnswerCase {
    const char* typed;
    bool accepted;
};

class ChallengeAnswerRule : public ::testing::TestWithParam<AnswerCase> {};

// The window's Ok: only an empty box is refused, with the message; blanks are an answer.
TEST_P(ChallengeAnswerRule, RefusesOnlyAnEmptyAnswer) {
    ScriptedUi ui;
    Workspace ws(ui, "/tmp/");
    if (!GetParam().accepted)
        ui.AnswerMessage(std::string(EmptyPasswordMessage));
    EXPECT_EQ(AcceptChallengeAnswer(ws, GetParam().typed), GetParam().accepted);
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_EQ(ui.Messages.size(), GetParam().accepted ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Typed, ChallengeAnswerRule,
                         ::testing::Values(AnswerCase{"", false}, AnswerCase{" ", true},
                                           AnswerCase{"x7k", true}, AnswerCase{"\t", true}));

} // namespace
} // namespace vorlith
