// What the program folder may hold when a fetch or a download starts: links, FIFOs, leftovers,
// files to keep; and fetches of several programs sharing one folder.
#include "support/Await.h"
#include "support/NetFixture.h"

#include <atomic>
#include <httplib.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlith::test {
namespace {

struct LeftoverCase {
    const char* Name;
    std::function<void(const std::string& scratch, const std::string& outside)> Make;
};

class ScratchLeftover : public NetTest, public ::testing::WithParamInterface<LeftoverCase> {};

// Whatever has the scratch file's name is removed, never written through.
TEST_P(ScratchLeftover, IsReplacedNeverWrittenThrough) {
    const std::string outside = folder.path().toStdString() + "/../vorlith-outside-" +
                                std::to_string(::getpid()) + "-" + GetParam().Name;
    WriteFile(outside, "keep me");
    GetParam().Make(Scratch(), outside);
    server.Next().Send(Reply::Answer(200, "<b>page</b>")).Close();
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "<b>page</b>\r\n");
    EXPECT_EQ(ReadFile(outside), "keep me");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Scratch())));
    std::filesystem::remove(outside);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ScratchLeftover,
    ::testing::Values(LeftoverCase{"LinkToAFile",
                                   [](const std::string& scratch, const std::string& outside) {
                                       ASSERT_EQ(::symlink(outside.c_str(), scratch.c_str()), 0);
                                   }},
                      LeftoverCase{"DanglingLink",
                                   [](const std::string& scratch, const std::string& outside) {
                                       ASSERT_EQ(::symlink((outside + ".none").c_str(), scratch.c_str()), 0);
                                   }},
                      LeftoverCase{"Fifo",
                                   [](const std::string& scratch, const std::string&) {
                                       ASSERT_EQ(::mkfifo(scratch.c_str(), 0600), 0);
                                   }},
                      LeftoverCase{"FileOfAKilledFetch",
                                   [](const std::string& scratch, const std::string&) {
                                       std::ofstream(scratch, std::ios::binary) << std::string(5000, 'z');
                                   }}),
    [](const auto& info) { return std::string(info.param.Name); });

struct DownloadCase {
    const char* Name;
    const char* Address; // relative to the server, or absolute when it has a scheme
    std::string Answer;  // empty: no connection expected
    bool Stored;
};

class DownloadKeeping : public NetTest, public ::testing::WithParamInterface<DownloadCase> {};

// The file named is replaced only by a whole answer; nothing else is left beside it.
TEST_P(DownloadKeeping, ReplacesTheFileOnlyOnSuccess) {
    const DownloadCase& c = GetParam();
    const std::string target = ws.ProgramFolder + "keep.txt";
    WriteFile(target, "precious");
    if (!c.Answer.empty())
        server.Next().Send(c.Answer).Close();
    const std::string address = std::string_view(c.Address).find("://") != std::string_view::npos
                                    ? std::string(c.Address)
                                    : server.Url(c.Address);
    EXPECT_EQ(test::Await(DownloadFileReplacing(ws, address, target)), c.Stored);
    EXPECT_EQ(ReadFile(target), c.Stored ? "new bytes" : "precious");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ws.ProgramFolder))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keep.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DownloadKeeping,
    ::testing::Values(DownloadCase{"Success", "/f", Reply::Answer(200, "new bytes"), true},
                      DownloadCase{"OtherScheme", "ftp://x/y", "", false},
                      DownloadCase{"NotFound", "/f", Reply::Answer(404, "gone"), false},
                      DownloadCase{"BrokenChunks", "/f",
                                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nnew\r\nzz\r\n",
                                   false}),
    [](const auto& info) { return std::string(info.param.Name); });

// Programs sharing a folder: a fetch either gets its whole page or fails; it never reports
// another fetch's half-removed scratch file as its page.
TEST(SharedFolder, ParallelFetchesNeverSucceedWithAWrongPage) {
    const std::string body(2000, 'p');
    httplib::Server http;
    http.Get("/",
             [&](const httplib::Request&, httplib::Response& res) { res.set_content(body, "text/html"); });
    const int port = http.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread serving([&] { http.listen_after_bind(); });
    QTemporaryDir dir;
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    std::atomic<int> right{0}, wrong{0}, failed{0};
    std::vector<std::thread> programs;
    for (int p = 0; p < 4; ++p)
        programs.emplace_back([&] {
            QEventLoop dispatcher; // the fetches' sockets need the thread's event dispatcher
            ScriptedUi ui;
            Workspace ws(ui, dir.path().toStdString());
            for (int i = 0; i < 150; ++i) {
                std::string page;
                try {
                    if (!test::FetchNow(ws, url, page))
                        ++failed;
                    else if (page == body + "\r\n")
                        ++right;
                    else
                        ++wrong;
                } catch (const std::runtime_error&) {
                    ++failed; // the scratch file is taken: refused, nothing reported
                }
            }
        });
    for (auto& program : programs)
        program.join();
    http.stop();
    serving.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(right, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path().toStdString() + "/test.html"));
}

} // namespace
} // namespace vorlith::test
