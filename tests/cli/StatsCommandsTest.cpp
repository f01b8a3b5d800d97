// vorlith-cli's --gather-data, in-process against the stand-in.
#include "CliCapture.h"
#include "StandinServer.h"
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "stats/GatherData.h"
#include "workspace/Workspace.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith::cli {
namespace {

class GatherDataCli : public ::testing::Test {
protected:
    GatherDataCli() : server(standin::Options{}) {
        RegisterGeneralCommands(table);
        RegisterStatsCommands(table);
        // Stand-ins for the list-editing commands: put rows in, show the counts afterwards.
        table.Add({"--test-row", {"KEYWORD"}, "", {}, [](CliContext& c, const Arguments& given) {
                       c.Ws.table.AppendKeyword(given[0]);
                       return ExitOk;
                   }});
        table.Add({"--test-print", {}, "", {}, [](CliContext& c, const Arguments&) {
                       for (const auto& row : c.Ws.table.Rows())
                           std::fprintf(c.Out, "%s|%s|%s|%s\n", row.Cell[0].c_str(), row.Cell[2].c_str(),
                                        row.Cell[3].c_str(), row.Cell[4].c_str());
                       return ExitOk;
                   }});
        const int port = server.Start();
        const std::string base = "http://127.0.0.1:" + std::to_string(port);
        // MSN can be taken down (a port nobody listens on) and brought back.
        table.Add({"--test-msn-down", {}, "", {}, [](CliContext& c, const Arguments&) {
                       QTcpServer closed;
                       closed.listen(QHostAddress::LocalHost);
                       c.Ws.Endpoints.MsnSearchBase =
                           "http://127.0.0.1:" + std::to_string(closed.serverPort());
                       return ExitOk;
                   }});
        table.Add({"--test-msn-up", {}, "", {}, [base](CliContext& c, const Arguments&) {
                       c.Ws.Endpoints.MsnSearchBase = base;
                       return ExitOk;
                   }});
        std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString())
            << "[Endpoints]\nGoogleSearchBase=" << base << "\nYahooSearchBase=" << base
            << "\nMsnSearchBase=" << base << "\n";
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", folder.path().toStdString()});
        CliRun run = RunCli(table, std::move(args));
        out = std::move(run.Out);
        err = std::move(run.Err);
        return run.Status;
    }

    QTemporaryDir folder;
    standin::StandinServer server;
    CommandTable table;
    std::string out, err;
};

TEST_F(GatherDataCli, FillsTheThreeCountsInEitherMode) {
    ASSERT_EQ(
        Run({"--test-row", "golf clubs", "--test-row", "chess", "--gather-data", "broad", "--test-print"}),
        ExitOk)
        << err;
    std::string broad = out;
    ASSERT_EQ(
        Run({"--test-row", "golf clubs", "--test-row", "chess", "--gather-data", "precise", "--test-print"}),
        ExitOk)
        << err;
    // Every count was found, and the phrase search is a different question from the broad one.
    for (const std::string* text : {&broad, &out}) {
        EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 2);
        EXPECT_EQ(text->find("||"), std::string::npos) << *text;
        EXPECT_NE(text->back(), '|') << *text;
    }
    EXPECT_NE(broad, out);
}

TEST_F(GatherDataCli, EndsWithASummaryLineAndExitsWithOneWhileLookupsFailed) {
    ASSERT_EQ(Run({"--test-row", "golf", "--test-row", "chess", "--gather-data", "broad"}), ExitOk) << err;
    EXPECT_NE(err.find("Gather Data: 6 asked, 6 succeeded, 0 failed\n"), std::string::npos) << err;

    // Nothing listens on port 1: every lookup fails, and the commands after it still run.
    std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString())
        << "[Endpoints]\nGoogleSearchBase=http://127.0.0.1:1\nYahooSearchBase=http://127.0.0.1:1\n"
           "MsnSearchBase=http://127.0.0.1:1\n";
    EXPECT_EQ(Run({"--test-row", "golf", "--test-row", "chess", "--gather-data", "broad", "--test-print"}),
              ExitFailed);
    EXPECT_NE(err.find("Gather Data: 6 asked, 0 succeeded, 6 failed\n"), std::string::npos) << err;
    EXPECT_EQ(out, "golf|||\nchess|||\n") << "the command after the partial failure ran";
}

TEST_F(GatherDataCli, SomeFailedLookupsKeepWhatWasGathered) {
    standin::Options flaky;
    flaky.FailRate = 0.5;
    flaky.Seed = 7;
    standin::StandinServer failing(flaky);
    const std::string base = "http://127.0.0.1:" + std::to_string(failing.Start());
    std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString())
        << "[Endpoints]\nGoogleSearchBase=" << base << "\nYahooSearchBase=" << base
        << "\nMsnSearchBase=" << base << "\n";
    std::vector<std::string> args;
    for (const char* keyword : {"golf", "chess", "tennis", "darts"})
        args.insert(args.end(), {"--test-row", keyword});
    args.insert(args.end(), {"--gather-data", "precise", "--test-print"});
    EXPECT_EQ(Run(args), ExitFailed);
    const std::size_t line = err.find("Gather Data: 12 asked, ");
    ASSERT_NE(line, std::string::npos) << err;
    int succeeded = -1, failed = -1;
    ASSERT_EQ(std::sscanf(err.c_str() + line, "Gather Data: 12 asked, %d succeeded, %d failed", &succeeded,
                          &failed),
              2);
    EXPECT_EQ(succeeded + failed, 12);
    EXPECT_GT(failed, 0);
    EXPECT_GT(succeeded, 0);
    // Each success filled a cell: count the filled ones in the printed table.
    int filled = 0;
    for (std::size_t at = 0; (at = out.find('|', at)) != std::string::npos; ++at)
        filled += at + 1 < out.size() && out[at + 1] != '|' && out[at + 1] != '\n';
    EXPECT_EQ(filled, succeeded) << out;
}

TEST_F(GatherDataCli, RefusesAnEmptyTableAndAnUnknownMode) {
    EXPECT_EQ(Run({"--gather-data", "broad"}), ExitFailed);
    EXPECT_NE(err.find(NoKeywordsText), std::string::npos) << err;
    EXPECT_EQ(Run({"--test-row", "golf", "--gather-data", "exact"}), ExitUsage);
    EXPECT_NE(err.find("precise or broad"), std::string::npos) << err;
}

TEST_F(GatherDataCli, SummaryLinesAndRetryFailedDecideTheExitStatus) {
    // Every lookup answered: the summary line, exit 0.
    ASSERT_EQ(Run({"--test-row", "golf", "--gather-data", "broad"}), ExitOk) << err;
    EXPECT_NE(err.find("Gather Data: 3 asked, 3 succeeded, 0 failed\n"), std::string::npos) << err;

    // MSN down: its lookups fail and stay failed after a retry that fails again.
    EXPECT_EQ(Run({"--test-row", "golf", "--test-row", "chess", "--test-msn-down", "--gather-data", "broad",
                   "--retry-failed", "--test-print"}),
              ExitFailed);
    EXPECT_NE(err.find("Gather Data: 6 asked, 4 succeeded, 2 failed\n"
                       "Gather Data: 2 asked, 0 succeeded, 2 failed\n"),
              std::string::npos)
        << err;
    EXPECT_NE(out.find("golf|"), std::string::npos) << "later commands still run";

    // Back up before the retry: only the two failed cells are asked again, and the run succeeds.
    EXPECT_EQ(Run({"--test-row", "golf", "--test-row", "chess", "--test-msn-down", "--gather-data", "precise",
                   "--test-msn-up", "--retry-failed", "--test-print"}),
              ExitOk)
        << err;
    EXPECT_NE(err.find("Gather Data: 2 asked, 2 succeeded, 0 failed\n"), std::string::npos) << err;
    EXPECT_EQ(out.find("||"), std::string::npos) << out;
    EXPECT_NE(out.back(), '|') << out;
}

} // namespace
} // namespace vorlith::cli
