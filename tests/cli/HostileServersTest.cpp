// vorlith-cli against servers that say nothing, and a download that must not cost the user a file.
#include "CliCapture.h"
#include "cli/CommandTable.h"
#include "support/HostileServer.h"

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
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

// Every answer sets 200 new cookies of 200 bytes.
void CookieFlood(test::HostileServer& server, int fd) {
    static int next = 0;
    std::string answer = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 200; ++i)
        answer += "Set-Cookie: c" + std::to_string(next++) + "=" + std::string(200, 'v') + "; Path=/\r\n";
    if (server.ReadRequestHead(fd))
        server.SendAll(fd, answer + "Content-Length: 2\r\n\r\nok");
}

// A hostile server against one command line: the exit status, a text it must say, and what the
// target (out.txt, "mine" with that mode before the run, or no file for mode 0) holds afterwards.
struct HostileCase {
    const char* Name;
    std::function<test::HostileServer::Behaviour()> Server;
    std::vector<std::string> Commands; // "URL" and "OUT" are replaced
    int Status;
    const char* Said;
    const char* Target;
    unsigned Mode = 0; // kept by the run
    int Times = 1;     // the commands repeated
};

class HostileReplay : public CliHostile, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileReplay, EndsAsBuilt) {
    const HostileCase& c = GetParam();
    test::HostileServer server(c.Server());
    const std::string out = Folder() + "/out.txt";
    if (c.Mode != 0) {
        std::ofstream(out) << "mine";
        std::filesystem::permissions(out, std::filesystem::perms(c.Mode));
    }
    std::vector<std::string> args{"--folder", Folder(), "--timeout", "1"};
    for (int i = 0; i < c.Times; ++i)
        for (const auto& word : c.Commands)
            args.push_back(word == "URL" ? server.Url("/") : word == "OUT" ? out : word);
    const auto run = RunCli(table, args);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    EXPECT_NE(run.Err.find(c.Said), std::string::npos) << run.Err;
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(std::ifstream(out).rdbuf()), {}), c.Target);
    EXPECT_EQ(c.Mode == 0 || (unsigned(std::filesystem::status(out).permissions()) & 0777u) == c.Mode, true);
    EXPECT_LE(server.LongestCookie, 8192u); // as browsers send
}

using test::HostileServer;
const std::string CutBody = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n7 bytes";
const std::string Loop = "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n";
const std::string Fine = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew";
const std::vector<std::string> Fetch{"fetch", "URL"}, Download{"download", "URL", "OUT"};

INSTANTIATE_TEST_SUITE_P(
    Table, HostileReplay,
    ::testing::Values(
        HostileCase{"CookieFlood", [] { return CookieFlood; }, Fetch, 0, "Process completed", "", 0, 40},
        HostileCase{"CutBodyFetch", [] { return HostileServer::Answer(CutBody); }, Fetch, 1, "Connection error", ""},
        HostileCase{"CutBodyDownload", [] { return HostileServer::Answer(CutBody); }, Download, 1,
                    "Download failed", "mine", 0600},
        HostileCase{"RedirectLoopDownload", [] { return HostileServer::Answer(Loop); }, Download, 1,
                    "Download failed", "mine", 0600},
        HostileCase{"RedirectLoopFetchIsAnEmptyPage", [] { return HostileServer::Answer(Loop); }, Fetch, 0,
                    "Process completed", ""},
        HostileCase{"TrickleEndsAtTheTimeout",
                    [] { return HostileServer::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 999\r\n\r\n", 200ms, 20s); },
                    Download, 1, "took longer than 1 seconds", "mine", 0644},
        HostileCase{"DownloadKeepsTheMode", [] { return HostileServer::Answer(Fine); }, Download, 0, "", "new", 0600},
        HostileCase{"DownloadRefusesAReadOnlyTarget", [] { return HostileServer::Answer(Fine); }, Download, 1,
                    "Cannot replace file", "mine", 0444}),
    [](const auto& info) { return std::string(info.param.Name); });

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
