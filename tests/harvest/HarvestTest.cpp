#include "harvest/Harvest.h"

#include "harvest/Challenge.h"
#include "support/Await.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedUi.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

using test::Reply;
using test::ScriptedHttpServer;
using test::ScriptedUi;

constexpr std::string_view ConnectionError = "Connection error, check if you are connected and url exists.";
constexpr std::string_view Completed = "Process completed sucessfull!";
const std::string Fixed = "&adult_filter=remove_offensive&suggest=Hit+Me";

std::string Table(std::initializer_list<std::pair<const char*, const char*>> rows) {
    std::string page = "<table><tfoot><tr><td>Wordtracker</td></tr></tfoot><tbody>\r\n";
    for (const auto& [count, keyword] : rows)
        page += std::string("<tr><td>") + count + "</td><td><a href=\"/?seed=x\">" + keyword +
                "</a></td></tr>\r\n";
    return page + "</tbody></table>\r\n";
}

std::string Challenge(const char* random, const char* seed, const char* image = "http://img.example/c.gif") {
    return std::string("<form><p>Please enter the characters in the image</p>") +
           "<input type=\"hidden\" name=\"random\" value=\"" + random + "\">" +
           "<input type=\"hidden\" name=\"seed\" value=\"" + seed + "\"><img src=\"" + image +
           "\"><input name=\"password\"></form>";
}

std::string AnswerTarget(const char* password, const char* random, const char* seed) {
    return std::string("/keyword-suggestion-tool.html?password=") + password + "&random=" + random +
           "&seed=" + seed;
}

class Harvest : public ::testing::Test {
protected:
    Harvest() : ws(ui, folder.path().toStdString()) { ws.Endpoints.SuggestionServiceBase = server.Url(""); }

    void Serve(int status, const std::string& body) {
        server.Next().Send(Reply::Answer(status, body)).Close();
    }

    // The request target of each connection, as the server read it.
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const std::string& head : server.Requests) {
            const std::size_t start = head.find(' ') + 1;
            targets.push_back(head.substr(start, head.find(" HTTP/1.1\r\n") - start));
        }
        return targets;
    }

    std::vector<std::string> Keywords() const {
        std::vector<std::string> keywords;
        for (const KeywordRow& row : ws.table.Rows())
            keywords.push_back(row.Cell[0]);
        return keywords;
    }

    QTemporaryDir folder;
    ScriptedUi ui;
    Workspace ws;
    ScriptedHttpServer server;
};

struct SeedCase {
    const char* Name;
    std::string Keyword;
    std::string Target;
};

class RequestTargets : public Harvest, public ::testing::WithParamInterface<SeedCase> {};

TEST_P(RequestTargets, TheKeywordGoesOutWithSpacesAsPlusAndNothingElseEncoded) {
    Serve(200, Table({}));
    ws.MainKeyword = GetParam().Keyword;
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Targets(), std::vector<std::string>{GetParam().Target});
    EXPECT_TRUE(ui.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequestTargets,
    ::testing::Values(SeedCase{"TwoWords", "golf clubs", "/?seed=golf+clubs" + Fixed},
                      SeedCase{"OuterAndDoubleSpaces", " golf  clubs ", "/?seed=+golf++clubs+" + Fixed},
                      SeedCase{"OnlySpaces", "  ", "/?seed=++" + Fixed},
                      SeedCase{"ReservedCharactersEncoded", "a&b%20c+d?e", "/?seed=a%26b%2520c%2Bd?e" + Fixed},
                      SeedCase{"NonAsciiBytesAsTyped", "caf\xe9 cr\xc3\xa8me",
                               "/?seed=caf\xe9+cr\xc3\xa8me" + Fixed},
                      SeedCase{"AHashIsEncoded", "golf #1 clubs", "/?seed=golf+%231+clubs" + Fixed}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Harvest, AppendsTheSuggestionsAfterTheRowsAlreadyThere) {
    for (int i = 0; i < 10; ++i)
        ws.table.AppendKeyword("typed");
    Serve(200, Table({{"1,234", "golf clubs"}, {"567", "golf &amp; clubs"}, {"8", "cheap golf clubs"}}));
    ws.MainKeyword = "golf clubs";
    test::Await(GatherKeywords(ws));
    ASSERT_EQ(ws.table.RowCount(), 13);
    EXPECT_EQ(ws.table.Caption(10), "11");
    EXPECT_EQ(ws.table.Caption(12), "13");
    EXPECT_EQ(ws.table.Cell(11, 0), "golf & clubs");
    EXPECT_EQ(ws.table.Cell(11, 1), "567");
    EXPECT_EQ(ws.SecondStatusText(), "13 items listed");
    EXPECT_EQ(ws.MainStatusText(), Completed);
    EXPECT_EQ(ws.MainKeyword, "golf clubs") << "left for the next harvest";
}

TEST_F(Harvest, AnEmptyMainKeywordIsRefusedAndNothingIsSent) {
    ws.Runs.Stop();
    ui.AnswerMessage("Please enter a main keyword before gather keywords.");
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(ui.Messages.at(0).Kind, MessageKind::Information);
    EXPECT_EQ(server.Connections, 0);
    EXPECT_FALSE(ws.Runs.Aborted()) << "cleared before the keyword is looked at";
}

TEST_F(Harvest, AStopLeftFromAnEarlierRunDoesNotCancelTheRequest) {
    ws.Runs.Stop();
    Serve(200, Table({{"5", "golf"}}));
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Keywords(), std::vector<std::string>{"golf"});
}

TEST_F(Harvest, AFailedFetchAddsNothingAndShowsNoMessage) {
    ws.table.AppendKeyword("typed");
    Serve(404, Table({{"5", "golf"}}));
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(ws.table.RowCount(), 1);
    EXPECT_EQ(ws.MainStatusText(), ConnectionError);
    EXPECT_EQ(ws.SecondStatusText(), "0 item listed");
}

// A click on Gather Keywords handled while a request waits (nested in its wait) is refused before
// it changes anything; the waiting request finishes as if nothing had happened.
TEST_F(Harvest, PressedWhileARequestWaitsItIsRefused) {
    server.Next()
        .Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(Table({{"5", "golf"}}).size()) +
              "\r\n\r\n")
        .Then([this] {
            ui.AnswerMessage(std::string(RequestUnderWayText), mrCancel);
            test::Await(GatherKeywords(ws));
        })
        .Send(Table({{"5", "golf"}}))
        .Close();
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Keywords(), std::vector<std::string>{"golf"});
    EXPECT_EQ(server.Connections, 1);
    EXPECT_EQ(ws.MainStatusText(), Completed);
}

TEST_F(Harvest, ARefusedPressDoesNotUndoAStop) {
    server.Next().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<tfoot>").Then([this] {
        ws.Runs.Stop(); // Stop, pressed during the wait
        ui.AnswerMessage(std::string(RequestUnderWayText), mrCancel);
        test::Await(GatherKeywords(ws));
        EXPECT_TRUE(ws.Runs.Aborted());
        ws.http.Disconnect();
    });
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(ws.table.RowCount(), 0);
    EXPECT_NE(ws.MainStatusText(), Completed);
}

TEST_F(Harvest, APageWithTheChallengeAndATableIsAChallenge) {
    Serve(200, Challenge("r1", "s1") + Table({{"9", "from the challenge page"}}));
    Serve(200, Table({{"5", "golf"}}));
    ui.AnswerChallenge("x7k");
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Keywords(), std::vector<std::string>{"golf"});
    EXPECT_EQ(Targets().at(1), AnswerTarget("x7k", "r1", "s1"));
    EXPECT_EQ(ui.ChallengeImageURLs, std::vector<std::string>{"http://img.example/c.gif"});
}

TEST_F(Harvest, TheChallengeSentenceIsCaseSensitive) {
    Serve(200, "please enter the characters in the image" + Table({{"5", "golf"}}));
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Keywords(), std::vector<std::string>{"golf"});
    EXPECT_TRUE(ui.ChallengeImageURLs.empty());
}

TEST_F(Harvest, AWrongAnswerShowsANewWindowWithTheNewPagesValues) {
    Serve(200, Challenge("r1", "s1", "http://img.example/1.gif?a=1&amp;b=2"));
    Serve(200, Challenge("r2", "s2", "http://img.example/2.gif"));
    Serve(200, Table({{"5", "golf"}, {"4", "golf balls"}}));
    ui.AnswerChallenge("wrong")
        .AnswerMessage("Wrong password. Do you want try again?", mrOk)
        .AnswerChallenge("right");
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/?seed=golf" + Fixed, AnswerTarget("wrong", "r1", "s1"),
                                                   AnswerTarget("right", "r2", "s2")}));
    EXPECT_EQ(ui.ChallengeImageURLs,
              (std::vector<std::string>{"http://img.example/1.gif?a=1&b=2", "http://img.example/2.gif"}));
    EXPECT_EQ(ui.Messages.at(0).Buttons, MessageButtons::OkCancel);
    EXPECT_EQ(Keywords(), (std::vector<std::string>{"golf", "golf balls"}));
}

TEST_F(Harvest, CancelToTheQuestionEndsWithoutReadingOrAskingMore) {
    ws.table.AppendKeyword("typed");
    Serve(200, Challenge("r1", "s1"));
    Serve(200, Challenge("r2", "s2") + Table({{"5", "golf"}}));
    ui.AnswerChallenge("wrong").AnswerMessage("Wrong password. Do you want try again?", mrCancel);
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(server.Connections, 2);
    EXPECT_EQ(Keywords(), std::vector<std::string>{"typed"});
    EXPECT_EQ(ui.Messages.size(), 1u);
}

struct ClosedCase {
    const char* Name;
    const char* Typed;
    int Result;
};

class ChallengeClosed : public Harvest, public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(ChallengeClosed, TheAnswerIsSentHoweverTheWindowClosed) {
    Serve(200, Challenge("8811", "golf+clubs"));
    Serve(200, Table({{"5", "golf"}}));
    ui.AnswerChallenge(GetParam().Typed, GetParam().Result);
    ws.MainKeyword = "golf clubs";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Targets().at(1), AnswerTarget(GetParam().Typed, "8811", "golf+clubs"));
    EXPECT_EQ(Keywords(), std::vector<std::string>{"golf"});
}

INSTANTIATE_TEST_SUITE_P(Table, ChallengeClosed,
                         ::testing::Values(ClosedCase{"Ok", "x7k", mrOk},
                                           ClosedCase{"CancelWithText", "x7k", mrCancel},
                                           ClosedCase{"CancelEmpty", "", mrCancel},
                                           ClosedCase{"AnswerWithASpace", "x7 k", mrOk},
                                           ClosedCase{"AnswerWithAnAmpersand", "a&seed=b", mrOk}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Harvest, EmptyHiddenValuesAreSentEmpty) {
    Serve(200, Challenge("", ""));
    Serve(200, Table({}));
    ui.AnswerChallenge("abc");
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(Targets().at(1), AnswerTarget("abc", "", ""));
}

TEST_F(Harvest, AFailedAnswerRequestAsksNothingAndAddsNothing) {
    Serve(200, Challenge("r1", "s1"));
    Serve(500, Challenge("r2", "s2"));
    ui.AnswerChallenge("abc");
    ws.MainKeyword = "golf";
    test::Await(GatherKeywords(ws));
    EXPECT_EQ(server.Connections, 2);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(ws.table.RowCount(), 0);
    EXPECT_EQ(ws.MainStatusText(), ConnectionError);
}

} // namespace
} // namespace vorlith
