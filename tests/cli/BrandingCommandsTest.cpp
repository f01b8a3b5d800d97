// vorlith-cli --branding and --check-updates, run in-process.
#include "CliCapture.h"
#include "branding/SkinFile.h"
#include "cli/CommandTable.h"
#include "support/ScriptedHttpServer.h"

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith::cli {
namespace {

using test::Reply;
using test::ScriptedHttpServer;

class BrandingCli : public ::testing::Test {
protected:
    BrandingCli() {
        RegisterGeneralCommands(table);
        RegisterBrandingCommands(table);
    }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder.path().toStdString() + "/" + name, std::ios::binary) << bytes;
    }
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", folder.path().toStdString()});
        return RunCli(table, std::move(args));
    }

    CommandTable table;
    QTemporaryDir folder;
};

TEST_F(BrandingCli, PrintsWhatTheBrandingApplies) {
    Write("dbconfig.dat", "[Settings]\r\nAppName=Golf\r\nLink1URL=http://one.example/\r\nLink1Name=One\r\n");
    Write("dbskin.dat", PackSkin("QWidget {}"));
    const CliRun run = Run({"--branding"});
    EXPECT_EQ(run.Status, ExitOk) << run.Err;
    EXPECT_NE(run.Out.find("Title:     Golf v1.04\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("Banner:    none (strip hidden)\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("Link 1:    \"One\" -> http://one.example/\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("Link 2:    \"\" -> (none)\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("dbskin.dat (10 bytes of style sheet)"), std::string::npos) << run.Out;
}

TEST_F(BrandingCli, WithoutConfigurationSaysSo) {
    const CliRun run = Run({"--branding"});
    EXPECT_EQ(run.Status, ExitOk);
    EXPECT_NE(run.Out.find("Config:    none ("), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("Title:     Vorlith\n"), std::string::npos) << run.Out;
}

TEST_F(BrandingCli, ABrokenBannerFailsTheRunWithTheError) {
    Write("dbconfig.dat", "[Settings]\r\nBannerPath1=ad.png\r\n");
    Write("dbimg1.dat", "x");
    const CliRun run = Run({"--branding"});
    EXPECT_EQ(run.Status, ExitFailed);
    EXPECT_NE(run.Err.find("Error: Unknown picture file extension (.png)"), std::string::npos) << run.Err;
}

TEST_F(BrandingCli, ChecksUpdatesAndRefusesWithoutTheUpdater) {
    ScriptedHttpServer server;
    server.Otherwise().Send(Reply::Answer(200, "[APPLICATION]\r\nVersion=1.05\r\n")).Close();
    Write("dbconfig.dat",
          "[Endpoints]\r\nUpdateBase=http://127.0.0.1:" + std::to_string(server.Port()) + "\r\n");
    CliRun run = Run({"--check-updates"});
    EXPECT_EQ(run.Status, ExitOk);
    EXPECT_NE(run.Err.find("There is a new update: (version 1.05)"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("-> Cancel"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("updater module"), std::string::npos) << run.Err;

    run = Run({"--yes", "--check-updates"});
    EXPECT_EQ(run.Status, ExitFailed) << "agreed to, but no updater could be started";
    EXPECT_NE(
        run.Err.find("Warning: The updater module is missing. Please reinstall again the current version!"),
        std::string::npos)
        << run.Err;
}

} // namespace
} // namespace vorlith::cli
