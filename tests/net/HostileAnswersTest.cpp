// Answers built to cost the client memory or time: chunk floods, endless extensions, silence.
#include "net/CookieStore.h"
#include "net/HttpClient.h"
#include "net/HttpResponseParser.h"
#include "support/Await.h"
#include "support/HostileServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace vorlith::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view ChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

std::string Repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

struct Ignore final : HttpResponseListener {
    std::string Body;
    void OnHead(const HttpResponseHead&, BodyFraming) override {}
    void OnBodyBegin(std::int64_t) override {}
    void OnBodyData(std::string_view bytes) override { Body.append(bytes); }
    void OnBodyProgress(std::int64_t) override {}
    void OnBodyEnd() override {}
};

struct ChunkCase {
    const char* Name;
    std::string Answer;
    std::int64_t MaxBody;
    const char* Error; // empty: the answer completes
};

class ChunkLimits : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkLimits, HoldWhateverTheSplit) {
    const ChunkCase& c = GetParam();
    for (const std::size_t piece : {c.Answer.size(), std::size_t{1}, std::size_t{7}}) {
        Ignore listener;
        HttpResponseParser::Limits limits;
        limits.MaxBody = c.MaxBody;
        HttpResponseParser parser(listener, limits);
        for (std::size_t pos = 0; pos < c.Answer.size() && !parser.Done(); pos += piece)
            parser.Feed(std::string_view(c.Answer).substr(pos, piece));
        if (std::string_view(c.Error).empty()) {
            EXPECT_EQ(parser.GetState(), HttpResponseParser::State::Complete) << parser.Error();
        } else {
            EXPECT_EQ(parser.GetState(), HttpResponseParser::State::Failed) << "piece " << piece;
            EXPECT_NE(parser.Error().find(c.Error), std::string::npos) << parser.Error();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Floods, ChunkLimits,
    ::testing::Values(ChunkCase{"ChunkSizeLineLongerThanALine",
                                std::string(ChunkedHead) + std::string(16385, '0') + "1\r\nx\r\n0\r\n\r\n",
                                64 << 20, "longer than 16384"},
                      ChunkCase{"ExtensionsBeyond16KiB",
                                std::string(ChunkedHead) +
                                    Repeat("1;" + std::string(100, 'e') + "\r\nx\r\n", 200) + "0\r\n\r\n",
                                64 << 20, "chunk extensions"},
                      ChunkCase{"TwoLongExtensions",
                                std::string(ChunkedHead) +
                                    Repeat("1;" + std::string(16000, 'e') + "\r\nx\r\n", 2) + "0\r\n\r\n",
                                64 << 20, "chunk extensions"},
                      ChunkCase{"ExtensionsWithin16KiB",
                                std::string(ChunkedHead) +
                                    Repeat("1;" + std::string(100, 'e') + "\r\nx\r\n", 150) + "0\r\n\r\n",
                                64 << 20, ""},
                      // 300 body bytes, but 1,800 on the wire.
                      ChunkCase{"TinyChunksCountTheirFraming",
                                std::string(ChunkedHead) + Repeat("1\r\nx\r\n", 300) + "0\r\n\r\n", 1000,
                                "larger than the limit"},
                      ChunkCase{"FramingWithinTheLimit",
                                std::string(ChunkedHead) + Repeat("1\r\nx\r\n", 100) + "0\r\n\r\n", 1000,
                                ""}),
    [](const auto& info) { return std::string(info.param.Name); });

struct MemorySink final : HttpSink {
    std::string Bytes;
    void Write(std::string_view bytes) override { Bytes.append(bytes); }
    void Clear() override { Bytes.clear(); }
};

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return 0;
}

struct FloodCase {
    const char* Name;
    std::string Chunk;
    std::int64_t MaxBody;
    const char* Error;
};

class ChunkFlood : public ::testing::TestWithParam<FloodCase> {};

// The window's progress handler runs the event loop on every chunk, which is what let the
// socket's buffer grow without end.
TEST_P(ChunkFlood, FailsWithinSecondsInBoundedMemory) {
    const FloodCase& c = GetParam();
    HostileServer server(HostileServer::ChunkFlood(c.Chunk, 30s));
    HttpClient client;
    client.Options().MaxBody = c.MaxBody;
    const long before = ResidentKiB();
    long peak = before;
    int calls = 0;
    client.OnWork = [&](WorkMode, std::int64_t) {
        QCoreApplication::processEvents();
        if (++calls % 4096 == 0)
            peak = std::max(peak, ResidentKiB());
    };
    MemorySink sink;
    const auto start = Clock::now();
    const HttpClient::Result got = test::Await(client.Get(client.For(server.Url()), sink));
    EXPECT_FALSE(got.Ok()) << "the flood was taken as a page";
    EXPECT_NE(got.Error.find(c.Error), std::string::npos) << got.Error;
    EXPECT_LT(Clock::now() - start, 15s);
    EXPECT_LT(peak - before, 48 * 1024) << "KiB more resident during the flood";
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ChunkFlood,
    ::testing::Values(FloodCase{"LongExtensions", "1;" + std::string(100, 'e') + "\r\nx\r\n", 64 << 20,
                                "chunk extensions"},
                      FloodCase{"BareTinyChunks", "1\r\nx\r\n", 2 << 20, "larger than the limit"}),
    [](const auto& info) { return std::string(info.param.Name); });

// A server that accepts and says nothing: with a read limit the GET gives up and says so;
// without one it waits until stopped.
TEST(SilentServer, GivesUpAfterTheReadLimit) {
    HostileServer server(HostileServer::Silent(20s));
    HttpClient client;
    client.Options().ReadTimeoutMs = 600;
    MemorySink sink;
    const auto start = Clock::now();
    EXPECT_FALSE(test::Await(client.Get(client.For(server.Url()), sink)).Ok());
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_GE(Clock::now() - start, 550ms);
    EXPECT_TRUE(client.GaveUp());
    client.ClearGaveUp();
    EXPECT_FALSE(client.GaveUp());
}

TEST(SilentServer, WithoutALimitWaitsUntilStopped) {
    HostileServer server(HostileServer::Silent(20s));
    HttpClient client;
    MemorySink sink;
    const auto start = Clock::now();
    client.OnIdle = [&] {
        if (Clock::now() - start > 1500ms)
            client.Disconnect();
    };
    EXPECT_FALSE(test::Await(client.Get(client.For(server.Url()), sink)).Ok());
    EXPECT_GE(Clock::now() - start, 1500ms);
    EXPECT_FALSE(client.GaveUp());
}

// A thread not started by Qt has no event dispatcher until its first event loop; a client used
// there, once the thread runs a loop, must still hear that its connection is up instead of
// waiting out the time limit, and one used before is refused at once.
TEST(PlainThread, FirstGetConnectsWithoutWaitingOutTheLimit) {
    HostileServer server([](HostileServer& s, int fd) {
        if (s.ReadRequestHead(fd))
            s.SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    std::string body, refused;
    Clock::duration took{};
    std::thread plain([&] {
        HttpClient client;
        client.Options().ConnectTimeoutMs = 20'000;
        MemorySink sink;
        const auto start = Clock::now();
        refused = test::Await(client.Get(client.For(server.Url()), sink)).Error;
        QEventLoop loop; // gives the thread its dispatcher
        if (test::Await(client.Get(client.For(server.Url()), sink)).Ok())
            body = sink.Bytes;
        took = Clock::now() - start;
    });
    plain.join();
    EXPECT_EQ(refused, "This thread runs no event loop");
    EXPECT_EQ(body, "ok");
    EXPECT_LT(took, 5s);
}

// A cookie that would put a CR or NUL into our next request is dropped; its neighbours in the
// same answer are kept. (A LF never reaches the store: it ends the header line.)
TEST(HostileCookies, WithALineBreakOrNulAreDropped) {
    const std::string values[] = {
        std::string("crlf=a\rInjected: yes"),
        std::string("path=a\rb; Path=/"),
        std::string("nul=a\0b", 7),
        std::string("na\rme=x"),
    };
    for (const std::string& value : values) {
        CookieStore store;
        HttpResponseHead head;
        head.Status = 200;
        head.Headers.push_back({"Set-Cookie", value});
        head.Headers.push_back({"Set-Cookie", "good=1"});
        const HttpAddress from = ParseHttpAddress("http://shop.test/");
        EXPECT_EQ(store.StoreFromAnswer(head, from), 1) << value;
        EXPECT_EQ(store.CookieHeader(from), "good=1") << value;
    }
}

} // namespace
} // namespace vorlith::test
