// The response parser alone: the same events whatever the split, progress per transfer, limits.
#include "net/HttpResponseParser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vorlith::test {
namespace {

// Writes every event as a line, so that two runs can be compared as text.
struct Recorder final : HttpResponseListener {
    std::string Log;
    std::string Body;
    void OnHead(const HttpResponseHead& head, BodyFraming framing) override {
        Log +=
            "head " + std::to_string(head.Status) + " framing " + std::to_string(static_cast<int>(framing));
        for (const auto& h : head.Headers)
            Log += " [" + h.Name + "=" + h.Value + "]";
        Log += "\n";
    }
    void OnBodyBegin(std::int64_t expected) override { Log += "begin " + std::to_string(expected) + "\n"; }
    void OnBodyData(std::string_view bytes) override { Body.append(bytes); }
    void OnBodyProgress(std::int64_t received) override { Log += "work " + std::to_string(received) + "\n"; }
    void OnBodyEnd() override { Log += "end\n"; }
};

std::string Outcome(const HttpResponseParser& parser, const Recorder& recorder) {
    return recorder.Log + "body " + recorder.Body + "\nstate " +
           std::to_string(static_cast<int>(parser.GetState())) + " " + parser.Error();
}

// Progress counts per piece differ with the split; the rest must not.
std::string WithoutWork(std::string log) {
    std::string out;
    std::size_t pos = 0;
    while (pos < log.size()) {
        const auto end = log.find('\n', pos);
        const std::string line = log.substr(pos, end - pos);
        if (!line.starts_with("work "))
            out += line + "\n";
        pos = end == std::string::npos ? log.size() : end + 1;
    }
    return out;
}

std::string Parse(const std::string& bytes, std::size_t piece, bool close,
                  HttpResponseParser::Limits limits = {}) {
    Recorder recorder;
    HttpResponseParser parser(recorder, limits);
    for (std::size_t pos = 0; pos < bytes.size() && !parser.Done(); pos += piece)
        parser.Feed(std::string_view(bytes).substr(pos, piece));
    if (close)
        parser.Finish();
    return Outcome(parser, recorder);
}

const std::vector<std::pair<std::string, bool>> kAnswers = {
    {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX: y\r\n\r\nhelloEXTRA", false},
    {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, "
     "chunked\r\n\r\n3;ext=1\r\nabc\r\nA\r\n0123456789\r\n0\r\nT: "
     "1\r\n\r\n",
     false},
    {"HTTP/1.1 100 Continue\r\nA: b\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false},
    {"HTTP/1.0 200 OK\r\n\r\nuntil the close", true},
    {"HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nshort", true},
    {"HTTP/1.1 302 Found\r\nLocation: /x\r\nSet-Cookie: a=1\r\n  folded\r\nContent-Length: 0\r\n\r\n", false},
    {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", false},
    {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcdefg\r\n", false},
    {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", true},
    {"\r\n\r\nHTTP/1.1 204 No Content\r\nContent-Length: 10\r\n\r\n", false},
    {"HTTP/1.1 200 OK\r\nX: " + std::string(16384, 'a') + "\r\n\r\n", false},
    {"HTTP/1.1 200 OK\r\nX: " + std::string(16381, 'a') + "\r\n\r\n", false},
    {"HTTP/1.1 200 OK\r\nX: " + std::string(16381, 'a') + "\r\r\n\r\n", false},
    {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", false},
    {"HTTP/1.1 2000 OK\r\n\r\n", false},
    {"ICY 200 OK\r\n\r\n", false},
};

TEST(HttpResponseParser, SameResultForAnySplit) {
    for (const auto& [answer, close] : kAnswers) {
        const std::string whole = Parse(answer, answer.size() + 1, close);
        for (std::size_t piece : {1u, 2u, 3u, 7u, 16385u})
            EXPECT_EQ(WithoutWork(Parse(answer, piece, close)), WithoutWork(whole))
                << "piece " << piece << " of " << answer.substr(0, 60);
    }
}

TEST(HttpResponseParser, ReportsEveryChunkAsATransferOfItsOwn) {
    const std::string answer =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n5\r\ndefgh\r\n0\r\n\r\n";
    EXPECT_EQ(Parse(answer, answer.size(), false),
              "head 200 framing 2 [Transfer-Encoding=chunked]\n"
              "begin 3\nwork 3\nend\nbegin 5\nwork 5\nend\nbody abcdefgh\nstate 2 ");
    EXPECT_EQ(WithoutWork(Parse(answer, 1, false)), WithoutWork(Parse(answer, answer.size(), false)));
    // Byte by byte, the counts climb within each chunk.
    EXPECT_NE(Parse(answer, 1, false).find("begin 5\nwork 1\nwork 2\nwork 3\nwork 4\nwork 5\nend\n"),
              std::string::npos);
}

TEST(HttpResponseParser, AnnouncesTheLengthOrZero) {
    EXPECT_NE(
        Parse("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcd", 100, false).find("begin 4\nwork 4\nend\n"),
        std::string::npos);
    EXPECT_NE(Parse("HTTP/1.1 200 OK\r\n\r\nabcd", 100, true).find("begin 0\nwork 4\nend\n"),
              std::string::npos);
}

TEST(HttpResponseParser, LineLimitIsExact) {
    const auto state = [](const std::string& answer) {
        Recorder recorder;
        HttpResponseParser parser(recorder);
        parser.Feed(answer);
        parser.Finish();
        return parser.GetState();
    };
    using S = HttpResponseParser::State;
    const std::string head = "HTTP/1.1 200 OK\r\n";
    EXPECT_EQ(state(head + std::string(16384, 'a').replace(0, 2, "X:") + "\r\n\r\n"), S::Complete);
    EXPECT_EQ(state(head + std::string(16385, 'a').replace(0, 2, "X:") + "\r\n\r\n"), S::Failed);
    EXPECT_EQ(state(head + std::string(16384, 'a').replace(0, 2, "X:") + "\n\n"), S::Complete);
    // The status line counts too, and a line that never ends fails as soon as it is too long.
    EXPECT_EQ(state("HTTP/1.1 200 " + std::string(16384 - 13, 'O') + "\r\n\r\n"), S::Complete);
    EXPECT_EQ(state("HTTP/1.1 200 " + std::string(16384 - 12, 'O') + "\r\n\r\n"), S::Failed);
    EXPECT_EQ(state(head + "X: " + std::string(20000, 'a')), S::Failed);
}

TEST(HttpResponseParser, BodyLimitCountsAllChunks) {
    HttpResponseParser::Limits limits;
    limits.MaxBody = 10;
    const auto ends = [&](const std::string& answer, bool close) {
        return Parse(answer, 4, close, limits).substr(Parse(answer, 4, close, limits).rfind("state "));
    };
    EXPECT_EQ(ends("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", false), "state 2 ");
    EXPECT_NE(ends("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n", false), "state 2 ");
    EXPECT_NE(ends("HTTP/1.1 200 OK\r\n\r\n01234567890", true), "state 2 ");
    EXPECT_NE(
        ends("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n012345\r\n5\r\n01234\r\n0\r\n\r\n",
             false),
        "state 2 ");
    // Chunk lines and their line ends count too: 10 bytes of body, 25 on the wire.
    const std::string tenInChunks =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n012345\r\n4\r\n0123\r\n0\r\n\r\n";
    EXPECT_NE(ends(tenInChunks, false), "state 2 ");
    limits.MaxBody = 25;
    EXPECT_EQ(ends(tenInChunks, false), "state 2 ");
    limits.MaxBody = 24;
    EXPECT_NE(ends(tenInChunks, false), "state 2 ");
}

TEST(HttpResponseParser, PauseStopsFeedingRightAfterTheCallback) {
    struct Pauser final : HttpResponseListener {
        HttpResponseParser* Parser = nullptr;
        std::string Body;
        void OnHead(const HttpResponseHead&, BodyFraming) override {}
        void OnBodyBegin(std::int64_t) override {}
        void OnBodyData(std::string_view bytes) override { Body.append(bytes); }
        void OnBodyProgress(std::int64_t) override { Parser->Pause(); }
        void OnBodyEnd() override {}
    } pauser;
    HttpResponseParser parser(pauser);
    pauser.Parser = &parser;
    const std::string answer =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n2\r\ncd\r\n0\r\n\r\n";
    const std::size_t used = parser.Feed(answer);
    EXPECT_LT(used, answer.size());
    EXPECT_EQ(pauser.Body, "ab");
    std::string_view rest = std::string_view(answer).substr(used);
    while (!rest.empty() && !parser.Done())
        rest.remove_prefix(parser.Feed(rest));
    EXPECT_EQ(pauser.Body, "abcd");
    EXPECT_EQ(parser.GetState(), HttpResponseParser::State::Complete);
}

} // namespace
} // namespace vorlith::test
