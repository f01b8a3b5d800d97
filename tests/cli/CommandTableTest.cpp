// vorlith-cli's command table and console window, run in-process against the scripted server.
#include "cli/CommandTable.h"

#include "CliCapture.h"
#include "cli/ConsoleUi.h"
#include "support/ScriptedHttpServer.h"

#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace vorlith::cli {
namespace {

using test::Reply;
using test::ScriptedHttpServer;

class Cli : public ::testing::Test {
protected:
    Cli() {
        RegisterGeneralCommands(table);
        RegisterNetCommands(table);
    }
    std::string Folder() const { return folder.path().toStdString(); }

    CommandTable table;
    QTemporaryDir folder;
    ScriptedHttpServer server;
};

TEST_F(Cli, FetchWritesThePageByteForByteAndTheStatusToError) {
    server.Next().Send(Reply::Answer(200, std::string("a\nb\xe9\r", 5)));
    const auto run = RunCli(table, {"--folder", Folder(), "fetch", server.Url("/p")});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, "a\r\nb\xe9\r\n");
    EXPECT_EQ(run.Err, "Process completed sucessfull!\n");
    EXPECT_FALSE(std::filesystem::exists(Folder() + "/test.html"));
}

TEST_F(Cli, FailedFetchExitsWithOne) {
    server.Next().Send(Reply::Answer(404, "gone"));
    const auto run = RunCli(table, {"--folder", Folder(), "fetch", server.Url("/")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "");
    // The host and the cause follow the status text on the next line.
    EXPECT_EQ(run.Err, "Connection error, check if you are connected and url exists.\n127.0.0.1:" +
                           std::to_string(server.Port()) + ": HTTP status 404\n");
}

TEST_F(Cli, APageThatCannotBeWrittenOutIsAFailure) {
    server.Next().Send(Reply::Answer(200, std::string(100000, 'x')));
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::FILE* err = std::tmpfile();
    const int status =
        test::Await(table.Run({"vorlith-cli", "--folder", Folder(), "fetch", server.Url("/")}, full, err));
    std::fclose(full);
    EXPECT_EQ(status, ExitFailed);
    EXPECT_NE(Drain(err).find("cannot write"), std::string::npos);
}

struct FolderCase {
    const char* Name;
    std::string Folder; // relative to a temporary folder
};

class BadFolder : public Cli, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(BadFolder, IsAUsageErrorBeforeAnythingRuns) {
    std::FILE* file = std::fopen((Folder() + "/plain-file").c_str(), "w");
    std::fclose(file);
    const auto run = RunCli(table, {"--folder", Folder() + GetParam().Folder, "fetch", server.Url("/")});
    EXPECT_EQ(run.Status, ExitUsage);
    EXPECT_NE(run.Err.find("--folder"), std::string::npos) << run.Err;
    EXPECT_EQ(server.Connections, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, BadFolder,
                         ::testing::Values(FolderCase{"Missing", "/nonexistent"},
                                           FolderCase{"MissingParent", "/nonexistent/deeper"},
                                           FolderCase{"AFile", "/plain-file"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Cli, HelpNamesTheExitStatuses) {
    const auto run = RunCli(table, {"--help"});
    EXPECT_EQ(run.Status, ExitOk);
    for (const char* word : {"Exit status: 0", "1 when", "2 for"})
        EXPECT_NE(run.Out.find(word), std::string::npos) << word;
}

TEST_F(Cli, DownloadStoresTheBody) {
    server.Next().Send(Reply::Answer(200, "[Update]\n"));
    server.Next().Send(Reply::Answer(500, "no"));
    const std::string target = Folder() + "/u.inf";
    EXPECT_EQ(RunCli(table, {"--folder", Folder(), "download", server.Url("/u"), target}).Status, 0);
    EXPECT_TRUE(std::filesystem::exists(target));
    const auto failed = RunCli(table, {"download", server.Url("/u"), target, "--folder", Folder()});
    EXPECT_EQ(failed.Status, 1);
    EXPECT_TRUE(std::filesystem::exists(target)); // a failure keeps what was there
}

TEST_F(Cli, CommandsRunInOrderAndStopAtTheFirstFailure) {
    server.Next().Send(Reply::Answer(200, "one"));
    server.Next().Send(Reply::Answer(404, ""));
    const auto run = RunCli(table, {"--folder", Folder(), "fetch", server.Url("/1"), "fetch",
                                    server.Url("/2"), "fetch", server.Url("/3")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "one\r\n");
    EXPECT_EQ(server.Requests.size(), 2u);
}

TEST_F(Cli, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {"--nope"}, {"fetch"}, {"download", "http://h/"}, {"--folder"}};
    for (const auto& args : cases) {
        const auto run = RunCli(table, args);
        EXPECT_EQ(run.Status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.Err.find("Usage:"), std::string::npos) << run.Err;
    }
    EXPECT_EQ(server.Connections, 0);
    const auto help = RunCli(table, {"--help"});
    EXPECT_EQ(help.Status, 0);
    for (const char* name : {"--folder DIR", "--yes", "fetch URL", "download URL FILE"})
        EXPECT_NE(help.Out.find(name), std::string::npos) << name;
}

TEST_F(Cli, UsageErrorsNameTheProblem) {
    EXPECT_NE(RunCli(table, {"--nope"}).Err.find("\"--nope\""), std::string::npos);
    EXPECT_NE(RunCli(table, {"download", "x"}).Err.find("download needs 2"), std::string::npos);
}

TEST_F(Cli, EmptyArgumentsAndAnUnwritableHelpFail) {
    RegisterTableCommands(table);
    for (const char* command : {"--keywords", "--add"})
        EXPECT_EQ(RunCli(table, {"--folder", Folder(), command, ""}).Status, ExitUsage) << command;
    std::FILE* full = std::fopen("/dev/full", "w");
    EXPECT_EQ(test::Await(table.Run({"vorlith-cli", "--help"}, full, stderr)), ExitFailed);
    std::fclose(full);
}

// Something in dbconfig.dat's place that is no file is named, and the run goes on without it.
TEST_F(Cli, ASettingsFileThatIsNoFileIsNamed) {
    const std::string config = Folder() + "/dbconfig.dat";
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { std::filesystem::create_directory(config); }, "it is a folder"},
        {[&] { std::filesystem::create_symlink("/dev/zero", config); }, "it is not a regular file"},
        {[&] { std::filesystem::create_symlink(Folder() + "/gone", config); }, "it is a link to nothing"}};
    for (const auto& [make, why] : cases) {
        std::filesystem::remove_all(config);
        make();
        server.Next().Send(Reply::Answer(200, "ok"));
        const auto run = RunCli(table, {"--folder", Folder(), "fetch", server.Url("/")});
        EXPECT_EQ(run.Status, ExitOk);
        EXPECT_NE(run.Err.find("The file " + config + " is not read: " + why), std::string::npos) << run.Err;
    }
}

TEST_F(Cli, VersionAndProxy) {
    server.Next().Send(Reply::Answer(200, "via proxy")).Close();
    const std::string proxy = "127.0.0.1:" + std::to_string(server.Port());
    auto run = RunCli(table, {"--version"});
    EXPECT_EQ(run.Out, "vorlith-cli 1.04\n");
    run = RunCli(table, {"--folder", Folder(), "fetch", "http://far.example/p", "--proxy", proxy});
    EXPECT_EQ(run.Out, "via proxy\r\n") << run.Err;
    ASSERT_EQ(server.Requests.size(), 1u);
    EXPECT_TRUE(server.Requests[0].starts_with("GET http://far.example/p HTTP/1.1\r\n")) << server.Requests[0];
    run = RunCli(table, {"--proxy", "socks5://h:1", "fetch", "http://far.example/"});
    EXPECT_EQ(run.Status, ExitUsage);
    EXPECT_NE(run.Err.find("not an http:// proxy address"), std::string::npos) << run.Err;
}

TEST(CommandTable, RefusesTwoCommandsOfOneName) {
    CommandTable table;
    RegisterNetCommands(table);
    EXPECT_THROW(RegisterNetCommands(table), std::logic_error);
}

TEST(ConsoleUi, MessagesGoToErrorAndYesAnswersOk) {
    for (const bool yes : {false, true}) {
        std::FILE* err = std::tmpfile();
        ConsoleUi ui(err, yes, false);
        EXPECT_EQ(ui.ShowMessage(MessageKind::Information, "Done.", MessageButtons::Ok), mrOk);
        EXPECT_EQ(ui.ShowMessage(MessageKind::Warning, "Delete all?", MessageButtons::OkCancel),
                  yes ? mrOk : mrCancel);
        EXPECT_FALSE(ui.AskSearchType());
        ui.SearchTypeAnswers.push_back(false);
        EXPECT_EQ(ui.AskSearchType(), false);
        ui.ShowStatus(StatusPanel::Main, "quiet");
        const std::string text = Drain(err);
        EXPECT_NE(text.find("Information: Done.\n"), std::string::npos) << text;
        EXPECT_NE(text.find("Warning: Delete all?\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("quiet"), std::string::npos);
        EXPECT_EQ(ui.Status(StatusPanel::Main), "quiet");
    }
}

} // namespace
} // namespace vorlith::cli
