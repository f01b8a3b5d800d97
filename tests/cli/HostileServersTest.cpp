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

std::string CookieFloodAnswer(int cookies, int bytes) {
    std::string answer = "HTTP/1.1 200 OK\r\n";
    static int next = 0;
    for (int i = 0; i < cookies; ++i)
        answer += "Set-Cookie: c" + std::to_string(next++) + "=" + std::string(bytes, 'v') + "; Path=/\r\n";
    return answer + "Content-Length: 2\r\n\r\nok";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What each hostile server makes of one command line: its exit status, a text it must say, and
// what the target file (out.txt in the folder, "mine" before the run unless its mode says
// otherwise) holds afterwards.
struct HostileCase {
    const char* Name;
    std::function<test::HostileServer::Behaviour()> Server;
    std::vector<std::string> Commands; // "URL" and "OUT" are replaced
    int Status;
    const char* Said;
    const char* Target;      // the file afterwards
    unsigned TargetMode = 0; // the file's mode before and after; 0: no file before
};

class HostileReplay : public CliHostile, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileReplay, EndsAsBuilt) {
    const HostileCase& c = GetParam();
    test::HostileServer server(c.Server());
    const std::string out = Folder() + "/out.txt";
    if (c.TargetMode != 0) {
        std::ofstream(out) << "mine";
        std::filesystem::permissions(out, std::filesystem::perms(c.TargetMode));
    }
    std::vector<std::string> args{"--folder", Folder(), "--timeout", "1"};
    for (const auto& word : c.Commands)
        args.push_back(word == "URL" ? server.Url("/") : word == "OUT" ? out : word);
    const auto run = RunCli(table, args);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    EXPECT_NE(run.Err.find(c.Said), std::string::npos) << run.Err;
    EXPECT_EQ(Slurp(out), c.Target);
    if (c.TargetMode != 0) {
        EXPECT_EQ(unsigned(std::filesystem::status(out).permissions()) & 0777u, c.TargetMode);
    }
    // Every Cookie header sent back stays within what browsers send.
    EXPECT_LE(server.LongestCookie, 8192u);
}

std::vector<std::string> Repeated(const std::vector<std::string>& words, int times) {
    std::vector<std::string> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), words.begin(), words.end());
    return all;
}

const std::string CutBody = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n7 bytes";
const std::string Loop = "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n";
const std::string Fine = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew";

INSTANTIATE_TEST_SUITE_P(
    Table, HostileReplay,
    ::testing::Values(
        HostileCase{"CookieFlood",
                    [] {
                        return [](test::HostileServer& server, int fd) {
                            if (server.ReadRequestHead(fd))
                                server.SendAll(fd, CookieFloodAnswer(200, 200));
                        };
                    },
                    Repeated({"fetch", "URL"}, 40), 0, "Process completed", ""},
        HostileCase{"CutBodyFetch", [] { return test::HostileServer::Answer(CutBody); }, {"fetch", "URL"}, 1,
                    "Connection error", ""},
        HostileCase{"CutBodyDownload", [] { return test::HostileServer::Answer(CutBody); },
                    {"download", "URL", "OUT"}, 1, "Download failed", "mine", 0600},
        HostileCase{"RedirectLoopDownload", [] { return test::HostileServer::Answer(Loop); },
                    {"download", "URL", "OUT"}, 1, "Download failed", "mine", 0600},
        HostileCase{"RedirectLoopFetchIsAnEmptyPage", [] { return test::HostileServer::Answer(Loop); },
                    {"fetch", "URL"}, 0, "Process completed", ""},
        HostileCase{"TrickleEndsAtTheTimeout",
                    [] {
                        return test::HostileServer::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 999\r\n\r\n",
                                                            200ms, 20s);
                    },
                    {"download", "URL", "OUT"}, 1, "took longer than 1 seconds", "mine", 0644},
        HostileCase{"DownloadKeepsTheMode", [] { return test::HostileServer::Answer(Fine); },
                    {"download", "URL", "OUT"}, 0, "", "new", 0600},
        HostileCase{"DownloadRefusesAReadOnlyTarget", [] { return test::HostileServer::Answer(Fine); },
                    {"download", "URL", "OUT"}, 1, "Cannot replace file", "mine", 0444}),
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
