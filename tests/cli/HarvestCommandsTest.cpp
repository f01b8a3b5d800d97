// vorlith-cli's --main-keyword and --gather-keywords, and the security image on a terminal.
#include "CliCapture.h"
#include "StandinPages.h"
#include "StandinServer.h"
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "harvest/Challenge.h"
#include "support/ScriptedHttpServer.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorlith::cli {
namespace {

using test::Reply;
using test::ScriptedHttpServer;

std::FILE* Input(const std::string& text) {
    std::FILE* in = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), in);
    std::rewind(in);
    return in;
}

const std::string ImageAddress = "http://img.example/c.gif?a=1&b=2";

struct TypedCase {
    const char* Name;
    std::string Typed;
    int Result;
    std::string Password;
    int Refusals;
};

class TypedAnswers : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedAnswers, OneLineIsTheAnswerAndTheEndOfInputIsCancel) {
    const TypedCase& c = GetParam();
    std::FILE* err = std::tmpfile();
    ConsoleUi ui(err, true, false);
    ui.In = Input(c.Typed);
    QTemporaryDir folder;
    Workspace ws(ui, folder.path().toStdString());
    const ChallengeAnswer answer = ui.AskChallenge(
        {ImageAddress, [&ws](std::string_view typed) { return AcceptChallengeAnswer(ws, typed); }});
    std::fclose(ui.In);
    const std::string printed = Drain(err);
    EXPECT_EQ(answer.ModalResult, c.Result);
    EXPECT_EQ(answer.Password, c.Password);
    EXPECT_NE(printed.find("Security image: http://img.example/c.gif?a=1&b=2\n"), std::string::npos)
        << printed;
    std::size_t refusals = 0;
    for (std::size_t at = printed.find("Please enter a password."); at != std::string::npos;
         at = printed.find("Please enter a password.", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, static_cast<std::size_t>(c.Refusals)) << printed;
}

INSTANTIATE_TEST_SUITE_P(Table, TypedAnswers,
                         ::testing::Values(TypedCase{"Line", "x7k\nmore\n", mrOk, "x7k", 0},
                                           TypedCase{"CrLf", "x7k\r\n", mrOk, "x7k", 0},
                                           TypedCase{"NoLineBreakAtTheEnd", "x7k", mrOk, "x7k", 0},
                                           TypedCase{"Spaces", "  \n", mrOk, "  ", 0},
                                           TypedCase{"EmptyLineRefused", "\n\nab\n", mrOk, "ab", 2},
                                           TypedCase{"EndOfInput", "", mrCancel, "", 0},
                                           TypedCase{"EmptyLineThenEnd", "\n", mrCancel, "", 1}),
                         [](const auto& info) { return std::string(info.param.Name); });

class HarvestCli : public ::testing::Test {
protected:
    HarvestCli() {
        RegisterGeneralCommands(table);
        RegisterNetCommands(table);
        RegisterHarvestCommands(table);
        RegisterTableCommands(table);
    }

    void PointAt(int port) {
        std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString())
            << "[Endpoints]\nSuggestionServiceBase=http://127.0.0.1:" << port << "\n";
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", folder.path().toStdString()});
        CliRun run = RunCli(table, std::move(args));
        Out = std::move(run.Out);
        Err = std::move(run.Err);
        return run.Status;
    }

    CommandTable table;
    QTemporaryDir folder;
    std::string Out, Err;
};

TEST_F(HarvestCli, GathersTheKeywordsOfTheMainKeyword) {
    ScriptedHttpServer server;
    PointAt(server.Port());
    server.Next()
        .Send(Reply::Answer(200,
                            "<tfoot></tfoot><tbody><tr><td>12</td><td><a href=\"x\">golf clubs</a></td></tr>"
                            "<tr><td>3</td><td><a href=\"y\">golf</a></td></tr>"))
        .Close();
    EXPECT_EQ(Run({"--main-keyword", "golf clubs", "--gather-keywords", "--save", "-"}), ExitOk) << Err;
    EXPECT_NE(Out.find("\"1\",\"golf clubs\",\"12\",\"\",\"\",\"\"\r\n\"2\",\"golf\",\"3\","),
              std::string::npos)
        << Out;
    ASSERT_EQ(server.Requests.size(), 1u);
    EXPECT_EQ(server.Requests[0].rfind(
                  "GET /?seed=golf+clubs&adult_filter=remove_offensive&suggest=Hit+Me HTTP/1.1", 0),
              0u);
    EXPECT_NE(Err.find("Process completed sucessfull!\n2 items listed\n"), std::string::npos) << Err;
}

TEST_F(HarvestCli, FailsWithoutAMainKeywordOrAService) {
    EXPECT_EQ(Run({"--gather-keywords"}), ExitFailed);
    EXPECT_NE(Err.find("Please enter a main keyword before gather keywords."), std::string::npos) << Err;
    EXPECT_EQ(Run({"--main-keyword", "", "--gather-keywords"}), ExitFailed);
    EXPECT_NE(Err.find("Please add a Main Keyword."), std::string::npos) << Err;

    ScriptedHttpServer server;
    PointAt(server.Port());
    server.Next().Send(Reply::Answer(500, "down")).Close();
    EXPECT_EQ(Run({"--main-keyword", "golf", "--gather-keywords"}), ExitFailed);
    EXPECT_NE(Err.find("Connection error, check if you are connected and url exists."), std::string::npos)
        << Err;
}

// Standard input is a pipe that the stand-in fills with each challenge's characters.
class StandardInput {
public:
    StandardInput() {
        EXPECT_EQ(pipe(ends_), 0);
        saved_ = dup(STDIN_FILENO);
        dup2(ends_[0], STDIN_FILENO);
        clearerr(stdin);
    }
    ~StandardInput() {
        CloseWriting();
        dup2(saved_, STDIN_FILENO);
        close(saved_);
        close(ends_[0]);
        clearerr(stdin);
    }
    void Type(const std::string& line) {
        const std::string text = line + "\n";
        EXPECT_EQ(write(ends_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseWriting() {
        if (ends_[1] >= 0)
            close(ends_[1]);
        ends_[1] = -1;
    }

private:
    int ends_[2] = {-1, -1};
    int saved_ = -1;
};

TEST_F(HarvestCli, AnswersTheStandinsSecurityImageFromStandardInput) {
    standin::Options options;
    options.ChallengeEvery = 1;
    standin::StandinServer server(options);
    StandardInput input;
    int challenges = 0;
    server.OnChallenge = [&](const std::string&, const std::string&, const std::string& characters) {
        // Typed before the page leaves the server; the input ends after the first answer.
        if (++challenges == 1)
            input.Type(characters);
        input.CloseWriting();
    };
    ASSERT_GT(server.Start(), 0);
    PointAt(server.Port());
    const int status = Run({"--yes", "--main-keyword", "golf clubs", "--gather-keywords"});
    server.Stop();
    EXPECT_EQ(status, ExitOk) << Err;
    EXPECT_EQ(challenges, 1);
    EXPECT_NE(Err.find("Security image: http://127.0.0.1:"), std::string::npos) << Err;
    EXPECT_NE(Err.find(std::to_string(standin::SuggestionsFor("golf clubs").size()) + " items listed"),
              std::string::npos)
        << Err;
}

TEST_F(HarvestCli, EndOfInputEndsTheChallengeEvenWithYes) {
    standin::Options options;
    options.ChallengeEvery = 1;
    standin::StandinServer server(options);
    StandardInput input;
    input.CloseWriting();
    int challenges = 0;
    server.OnChallenge = [&](const std::string&, const std::string&, const std::string&) { ++challenges; };
    ASSERT_GT(server.Start(), 0);
    PointAt(server.Port());
    // Nothing was gathered because the image was cancelled: a failure that stops the run at once.
    EXPECT_EQ(Run({"--yes", "--main-keyword", "golf", "--gather-keywords", "--save", "-"}), ExitFailed)
        << Err;
    server.Stop();
    EXPECT_EQ(challenges, 2) << "the empty answer is sent once, then the question is answered Cancel";
    EXPECT_NE(Err.find("the security image was cancelled"), std::string::npos) << Err;
    EXPECT_EQ(Err.find(NoDataToSaveMessage), std::string::npos) << "--save must not have run: " << Err;
}

} // namespace
} // namespace vorlith::cli
