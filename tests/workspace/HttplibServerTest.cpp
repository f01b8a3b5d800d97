// Against a server we did not write: cpp-httplib, run on a thread of its own.
#include "support/Await.h"
#include "support/NetFixture.h"

#include <httplib.h>
#include <thread>

namespace vorlith::test {
namespace {

class Httplib : public NetTest {
protected:
    void SetUp() override {
        http.Get("/page", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html>\n<b>12,345</b>\n</html>", "text/html");
        });
        http.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
                if (offset < 3000) {
                    const std::string piece(1000, static_cast<char>('a' + offset / 1000));
                    sink.write(piece.data(), piece.size());
                } else {
                    sink.done();
                }
                return true;
            });
        });
        http.Get("/redirect",
                 [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/page"); });
        http.Get("/cookie", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Set-Cookie", "session=abc123; Path=/");
            res.set_content("set", "text/plain");
        });
        http.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
            std::string text = "Cookie=" + req.get_header_value("Cookie") + "\n";
            text += "Host=" + req.get_header_value("Host") + "\n";
            text += "User-Agent=" + req.get_header_value("User-Agent") + "\n";
            text += "Accept=" + req.get_header_value("Accept");
            res.set_content(text, "text/plain");
        });
        http.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        port = http.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        // The socket already listens: requests queue until the thread accepts them.
        thread = std::thread([this] { http.listen_after_bind(); });
        while (!http.is_running()) // stop() misses an accept loop not started yet
            std::this_thread::yield();
    }
    void TearDown() override {
        http.stop();
        if (thread.joinable())
            thread.join();
    }
    std::string At(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(port) + target;
    }

    httplib::Server http;
    int port = 0;
    std::thread thread;
};

TEST_F(Httplib, ServesAPage) {
    EXPECT_TRUE(test::FetchNow(ws, At("/page"), page));
    EXPECT_EQ(page, "<html>\r\n<b>12,345</b>\r\n</html>\r\n");
    EXPECT_EQ(ws.MainStatusText(), kCompleted);
    EXPECT_EQ(ui.LastGauge.Maximum(), 28);
}

TEST_F(Httplib, ServesAChunkedPage) {
    EXPECT_TRUE(test::FetchNow(ws, At("/chunked"), page));
    EXPECT_EQ(page, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c') + "\r\n");
    EXPECT_EQ(ui.LastGauge.Maximum(), 1000);
}

TEST_F(Httplib, FollowsARedirect) {
    EXPECT_TRUE(test::FetchNow(ws, At("/redirect"), page));
    EXPECT_EQ(page, "<html>\r\n<b>12,345</b>\r\n</html>\r\n");
}

TEST_F(Httplib, SendsBackItsCookieAndOurHeaders) {
    EXPECT_TRUE(test::FetchNow(ws, At("/cookie"), page));
    EXPECT_TRUE(test::FetchNow(ws, At("/echo"), page));
    EXPECT_EQ(page, "Cookie=session=abc123\r\nHost=127.0.0.1:" + std::to_string(port) +
                        "\r\nUser-Agent=Mozilla/3.0 (compatible; Indy Library)\r\nAccept=text/html, */*\r\n");
}

TEST_F(Httplib, ErrorStatusIsAFailure) {
    EXPECT_FALSE(test::FetchNow(ws, At("/missing"), page));
    EXPECT_EQ(ws.MainStatusText(), kConnectionError);
    const std::string target = ws.ProgramFolder + "x.inf";
    EXPECT_FALSE(test::DownloadNow(ws, At("/missing"), target));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(test::DownloadNow(ws, At("/page"), target));
    EXPECT_EQ(ReadFile(target), "<html>\n<b>12,345</b>\n</html>");
}

} // namespace
} // namespace vorlith::test
