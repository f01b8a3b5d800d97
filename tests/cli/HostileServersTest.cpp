// vorlith-cli against servers that say nothing, and a download that must not cost the user a file.
#include "CliCapture.h"
#include "cli/CommandTable.h"
#include "support/HostileServer.h"

#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith::cli {
namespace {

using namespace std::chrono_literals;

class CliHostile : public ::testing::Test {
protected:
    CliHostile() {
        RegisterGeneralCommands(table);
        RegisterNetCommands(table);
    }
    std::string Folder() const { return folder.path().toStdString(); }

    CommandTable table;
    QTemporaryDir folder;
};

// Each command gives up after --timeout seconds without data, says so and fails.
TEST_F(CliHostile, GivesUpOnASilentServerAndSaysSo) {
    for (const char* command : {"fetch", "download"}) {
        test::HostileServer server(test::HostileServer::Silent(20s));
        std::vector<std::string> args{"--folder", Folder(), "--timeout", "1", command, server.Url("/")};
        if (std::string_view(command) == "download")
            args.push_back(Folder() + "/out.txt");
        const auto start = std::chrono::steady_clock::now();
        const auto run = RunCli(table, args);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << command;
        EXPECT_EQ(run.Status, ExitFailed) << command;
        EXPECT_NE(run.Err.find("gave up: the server sent nothing for 1 seconds"), std::string::npos)
            << run.Err;
    }
}

TEST_F(CliHostile, TimeoutMustBeWholeSeconds) {
    for (const char* value : {"x", "-1", "1.5", "", "99999999999"}) {
        const auto run =
            RunCli(table, {"--timeout", value, "--folder", Folder(), "fetch", "http://127.0.0.1:9/"});
        EXPECT_EQ(run.Status, ExitUsage) << value;
        EXPECT_NE(run.Err.find("--timeout"), std::string::npos) << value;
    }
}

// The file named is not touched before anything is contacted, nor on a failure.
TEST_F(CliHostile, AFailedDownloadKeepsTheFile) {
    const std::string keep = Folder() + "/keep.txt";
    std::ofstream(keep) << "mine";
    const auto run = RunCli(table, {"--folder", Folder(), "download", "ftp://x/y", keep});
    EXPECT_EQ(run.Status, ExitFailed);
    std::ifstream in(keep);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "mine");
}

} // namespace
} // namespace vorlith::cli
