// FetchPage and DownloadFile over the real client against the scripted server: framing, page
// text, status texts, the scratch file, errors, stops and re-entry.
#include "support/Await.h"
#include "support/NetFixture.h"

#include <QTcpServer>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace vorlith::test {
namespace {

struct FramingCase {
    const char* Name;
    std::string Answer;
    std::size_t Piece; // 0: all at once
    bool CloseAfter;
    std::string Page;
};

class Framing : public NetTest, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(Framing, GivesTheBodyAsPageText) {
    const auto& c = GetParam();
    auto& reply = server.Next();
    if (c.Piece == 0)
        reply.Send(c.Answer);
    else
        reply.SendInPieces(c.Answer, c.Piece);
    if (c.CloseAfter)
        reply.Close();
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, c.Page);
    EXPECT_EQ(ws.MainStatusText(), kCompleted);
    EXPECT_FALSE(ScratchExists());
    EXPECT_FALSE(ws.http.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Framing,
    ::testing::Values(
        FramingCase{"Length", Reply::Answer(200, "hello\nworld"), 0, false, "hello\r\nworld\r\n"},
        FramingCase{"LengthByteByByte", Reply::Answer(200, "hello\nworld"), 1, false, "hello\r\nworld\r\n"},
        FramingCase{"Chunked", Reply::Chunked({"hel", "lo\n", "world"}), 0, false, "hello\r\nworld\r\n"},
        FramingCase{"ChunkedInPiecesOfThree", Reply::Chunked({"hel", "lo\n", "world"}), 3, false,
                    "hello\r\nworld\r\n"},
        FramingCase{"ChunkedBeatsLength", Reply::Chunked({"abc"}, "Content-Length: 1\r\n"), 0, false,
                    "abc\r\n"},
        FramingCase{"UntilClose", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nabc\ndef", 0, true, "abc\r\ndef\r\n"},
        FramingCase{"UntilCloseInPieces", "HTTP/1.1 200 OK\r\n\r\nabc\ndef", 2, true, "abc\r\ndef\r\n"},
        FramingCase{"EmptyBody", Reply::Answer(200, ""), 0, false, ""},
        FramingCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", 0, false, ""},
        FramingCase{"ContinueFirst", "HTTP/1.1 100 Continue\r\n\r\n" + Reply::Answer(200, "x"), 0, false,
                    "x\r\n"},
        FramingCase{"ContinueInPieces", "HTTP/1.1 100 Continue\r\n\r\n" + Reply::Answer(200, "x"), 5, false,
                    "x\r\n"},
        FramingCase{"HeaderLineAtLimit",
                    Reply::Answer(200, "ok", "X-Long: " + std::string(16384 - 8, 'a') + "\r\n"), 0, false,
                    "ok\r\n"},
        FramingCase{"FoldedHeaderAndBareLf", "HTTP/1.0 200 OK\nX: a\n  b\nContent-Length: 2\n\nok", 0, false,
                    "ok\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PageText, MakesLineBreaksUniform) {
    const struct {
        std::string Body, Text;
    } cases[] = {
        {"", ""},
        {"a\nb", "a\r\nb\r\n"},
        {"a\r\r\nb", "a\r\n\r\nb\r\n"},
        {std::string("abc\0def\nghi", 11), "abc\r\n"},
        {std::string("\0abc", 4), ""},
        {"a\r\n", "a\r\n"},
        {"a\r", "a\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"\r\n\r", "\r\n\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"},
        {"\xff\xe9\x01", "\xff\xe9\x01\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PageText(c.Body), c.Text) << "body: " << ::testing::PrintToString(c.Body);
}

TEST_F(NetTest, PageTextEndsAtTheFirstNulOfTheBody) {
    server.Next().Send(Reply::Answer(200, std::string("abc\0def", 7)));
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "abc\r\n");
}

struct ErrorCase {
    const char* Name;
    std::string Answer;
    bool CloseAfter;
};

class Errors : public NetTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(Errors, FailWithTheConnectionErrorText) {
    const auto& c = GetParam();
    auto& reply = server.Next().Send(c.Answer);
    if (c.CloseAfter)
        reply.Close();
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(page, "");
    EXPECT_EQ(ws.MainStatusText(), kConnectionError);
    EXPECT_FALSE(ScratchExists());
    EXPECT_FALSE(ws.http.Busy());
}

TEST_P(Errors, LeaveNoDownloadedFile) {
    const auto& c = GetParam();
    auto& reply = server.Next().Send(c.Answer);
    if (c.CloseAfter)
        reply.Close();
    const std::string target = ws.ProgramFolder + "download.inf";
    WriteFile(target, "old");
    EXPECT_FALSE(test::DownloadNow(ws, server.Url("/file"), target));
    EXPECT_FALSE(std::filesystem::exists(target));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Errors,
    ::testing::Values(
        ErrorCase{"NotFound", Reply::Answer(404, "<h1>missing</h1>"), false},
        // The server's close cuts a body short of its length: no page is better than part of one.
        ErrorCase{"CloseBeforeLengthReached", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc", true},
        ErrorCase{"ServerError", Reply::Answer(500, "oops"), false},
        ErrorCase{"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", false},
        ErrorCase{"Unauthorized", Reply::Answer(401, "who?"), false},
        ErrorCase{"ProxyAuth", Reply::Answer(407, "who?"), false},
        ErrorCase{"SwitchingProtocols", "HTTP/1.1 101 Switching\r\n\r\n", false},
        ErrorCase{"ErrorBodyUntilClose", "HTTP/1.1 403 Forbidden\r\n\r\nno", true},
        ErrorCase{"ErrorChunked",
                  "HTTP/1.1 410 Gone\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nno\r\n0\r\n\r\n", false},
        ErrorCase{"NotHttp", "hello there\r\n\r\n", true},
        ErrorCase{"NoStatusCode", "HTTP/1.1 abc\r\n\r\n", true}, ErrorCase{"ClosedWithoutAnswer", "", true},
        ErrorCase{"ClosedInsideHead", "HTTP/1.1 200 OK\r\nContent-Le", true},
        ErrorCase{"ClosedInsideChunkedBody", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
                  true},
        ErrorCase{"BadChunkSize", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false},
        ErrorCase{"BadContentLength", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", false},
        ErrorCase{"StatusLineOverLimit", "HTTP/1.1 200 " + std::string(16384, 'O') + "\r\n\r\n", false},
        ErrorCase{"HeaderLineOverLimit",
                  "HTTP/1.1 200 OK\r\nX-Long: " + std::string(16384 - 7, 'a') + "\r\n\r\n", false},
        ErrorCase{"HeaderLineWithoutEnd", "HTTP/1.1 200 OK\r\nX: " + std::string(40000, 'a'), false},
        ErrorCase{"LengthOver64MiB", "HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\nabc", false},
        ErrorCase{"ChunkOver64MiB", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4000001\r\nabc",
                  false},
        ErrorCase{"RedirectWithoutLocation", Reply::Answer(302, "moved"), false},
        ErrorCase{"RedirectToAnotherScheme", Reply::Answer(302, "", "Location: ftp://127.0.0.1/x\r\n"),
                  false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NetTest, BodyOverTheLimitFailsForEveryFraming) {
    ws.http.Options().MaxBody = 1000;
    const std::string big(1001, 'x');
    for (const std::string& answer :
         {"HTTP/1.1 200 OK\r\n\r\n" + big, Reply::Chunked({big.substr(0, 600), big.substr(600)}),
          Reply::Chunked({big})}) {
        server.Next().Send(answer).Close();
        EXPECT_FALSE(Fetch()) << answer.substr(0, 40);
        EXPECT_EQ(ws.MainStatusText(), kConnectionError);
    }
    server.Next().Send(Reply::Answer(200, std::string(1000, 'x')));
    EXPECT_TRUE(Fetch());
}

TEST_F(NetTest, NoServerIsAConnectionError) {
    std::uint16_t port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    page = "x";
    EXPECT_FALSE(test::FetchNow(ws, "http://127.0.0.1:" + std::to_string(port) + "/", page));
    EXPECT_EQ(page, "");
    EXPECT_EQ(ws.MainStatusText(), kConnectionError);
    EXPECT_FALSE(ScratchExists());
}

TEST_F(NetTest, MalformedAddressIsAConnectionError) {
    for (const char* address :
         {"ftp://127.0.0.1/", "127.0.0.1/page", "http://", "http://host:99999/", "http:///x"}) {
        page = "x";
        EXPECT_FALSE(test::FetchNow(ws, address, page)) << address;
        EXPECT_EQ(page, "");
        EXPECT_EQ(ws.MainStatusText(), kConnectionError);
    }
    EXPECT_EQ(server.Connections, 0);
}

TEST_F(NetTest, StatusTextsInOrder) {
    server.Next().Send(Reply::Answer(200, "x"));
    EXPECT_TRUE(Fetch("/a?b=c"));
    ASSERT_EQ(ui.StatusLog.size(), 2u);
    EXPECT_EQ(ui.StatusLog[0].second, "Getting URL: " + server.Url("/a?b=c") + "...");
    EXPECT_EQ(ui.StatusLog[1].second, kCompleted);
}

TEST_F(NetTest, AbortedOnEntryTouchesNothing) {
    ws.Runs.Stop();
    ws.gauge.SetValue(40);
    page = "kept";
    EXPECT_FALSE(test::FetchNow(ws, server.Url("/"), page));
    EXPECT_EQ(page, "kept");
    EXPECT_TRUE(ui.StatusLog.empty());
    EXPECT_EQ(ui.GaugeShows, 0);
    EXPECT_EQ(ws.gauge.Value(), 40);
    EXPECT_EQ(server.Connections, 0);
    EXPECT_FALSE(ScratchExists());
}

TEST_F(NetTest, GaugeFollowsTheBody) {
    server.Next().SendInPieces(Reply::Answer(200, std::string(3000, 'x')), 1000);
    ws.gauge.SetMaximum(10);
    ws.gauge.SetValue(7);
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(ui.LastGauge.Maximum(), 3000);
    EXPECT_EQ(ui.LastGauge.Value(), 3000);
    // Reset to 0 before the request, then begin, work (at least once) and end.
    EXPECT_GE(ui.GaugeShows, 4);
}

TEST_F(NetTest, RedirectAndErrorBodiesAreReportedToo) {
    std::vector<int> begun; // the gauge's maximum at every pump that follows a new maximum
    ui.OnTurn = [&] {
        if (begun.empty() || begun.back() != ui.LastGauge.Maximum())
            begun.push_back(ui.LastGauge.Maximum());
    };
    server.Next().Send(Reply::Answer(302, "0123456789", "Location: /b\r\n"));
    server.Next().Send(Reply::Answer(200, "12345"));
    EXPECT_TRUE(Fetch());
    server.Next().Send(Reply::Answer(404, "1234567"));
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(begun, (std::vector<int>{100, 10, 5, 7}));
}

TEST_F(NetTest, GaugeOfABodyUntilCloseStaysAtZeroPercent) {
    server.Next().Send("HTTP/1.1 200 OK\r\n\r\nabcdef").Close();
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(ui.LastGauge.Maximum(), 0);
    EXPECT_EQ(ui.LastGauge.Text(), "0%");
}

// ---- The scratch file

TEST_F(NetTest, LeftOverScratchFileIsEmptiedAndDeleted) {
    WriteFile(Scratch(), std::string(5000, 'L'));
    std::string during;
    server.Next().Send(Reply::Answer(200, "new")).Then([&] { during = ReadFile(Scratch()); });
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "new\r\n");
    EXPECT_EQ(during.find('L'), std::string::npos);
    EXPECT_FALSE(ScratchExists());
}

TEST_F(NetTest, ScratchFileHeldByAnotherFetchIsAnErrorThatClobbersNothing) {
    WriteFile(Scratch(), "first fetch's bytes");
    const int other = ::open(Scratch().c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    page = "x";
    EXPECT_THROW(test::FetchNow(ws, server.Url("/"), page), std::runtime_error);
    ::close(other);
    EXPECT_EQ(page, "");
    EXPECT_EQ(ReadFile(Scratch()), "first fetch's bytes");
    EXPECT_TRUE(ui.StatusLog.empty());
    EXPECT_EQ(server.Connections, 0);
}

TEST_F(NetTest, UnwritableProgramFolderIsAnError) {
    Workspace elsewhere(ui, folder.path().toStdString() + "/missing/");
    page = "x";
    EXPECT_THROW(test::FetchNow(elsewhere, server.Url("/"), page), std::runtime_error);
    EXPECT_EQ(page, "");
    EXPECT_EQ(server.Connections, 0);
}

// ---- Redirects

TEST_F(NetTest, FourteenRedirectsThenTheAnswer) {
    for (int i = 1; i <= 14; ++i)
        server.Next().Send(Reply::Answer(302, "redirect body " + std::to_string(i),
                                         "Location: /r" + std::to_string(i) + "\r\n"));
    server.Next().Send(Reply::Answer(200, "final"));
    EXPECT_TRUE(Fetch("/r0"));
    EXPECT_EQ(page, "final\r\n");
    ASSERT_EQ(server.Requests.size(), 15u);
    EXPECT_TRUE(server.Requests[14].starts_with("GET /r14 HTTP/1.1\r\n"));
}

TEST_F(NetTest, FifteenthRequestAnsweredByARedirectEndsWithAnEmptyPage) {
    server.Otherwise().Send(Reply::Answer(301, "still moving", "Location: /again\r\n"));
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "");
    EXPECT_EQ(ws.MainStatusText(), kCompleted);
    EXPECT_EQ(server.Requests.size(), 15u);
}

TEST_F(NetTest, RedirectBodyIsNeverPartOfThePage) {
    server.Next().Send(Reply::Answer(302, "a much longer redirect body\nwith lines", "Location: /next\r\n"));
    server.Next().Send(Reply::Answer(200, "ok"));
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "ok\r\n");
}

TEST_F(NetTest, AnyAnswerWithALocationIsARedirect) {
    server.Next().Send(Reply::Answer(200, "not this", "Location: /there\r\n"));
    server.Next().Send(Reply::Answer(200, "this"));
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "this\r\n");
}

TEST_F(NetTest, RedirectBodyIsReadForALimitedTime) {
    ws.http.Options().RedirectBodyMs = 50;
    // The redirect never finishes its body and keeps the connection open.
    server.Next().Send("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 100\r\n\r\nabc");
    server.Next().Send(Reply::Answer(200, "ok"));
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(page, "ok\r\n");
}

TEST_F(NetTest, ErrorBodyIsReadForALimitedTime) {
    ws.http.Options().ErrorBodyMs = 50;
    server.Next().Send("HTTP/1.1 404 Not Found\r\n\r\nnever ends");
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(ws.MainStatusText(), kConnectionError);
}

TEST_F(NetTest, RelativeLocationsFollowTheCurrentAddress) {
    server.Next().Send(Reply::Answer(302, "", "Location: b/c?x=1\r\n"));
    server.Next().Send(Reply::Answer(302, "", "Location: ../d\r\n"));
    server.Next().Send(Reply::Answer(302, "", "Location: ?q=2\r\n"));
    server.Next().Send(Reply::Answer(302, "", "Location: " + server.Url("/abs") + "\r\n"));
    server.Next().Send(
        Reply::Answer(302, "", "Location: //127.0.0.1:" + std::to_string(server.Port()) + "/net\r\n"));
    server.Next().Send(Reply::Answer(200, "end"));
    EXPECT_TRUE(Fetch("/dir/page"));
    std::vector<std::string> lines;
    for (const auto& request : server.Requests)
        lines.push_back(request.substr(0, request.find("\r\n")));
    EXPECT_EQ(lines, (std::vector<std::string>{"GET /dir/page HTTP/1.1", "GET /dir/b/c?x=1 HTTP/1.1",
                                               "GET /dir/d HTTP/1.1", "GET /dir/d?q=2 HTTP/1.1",
                                               "GET /abs HTTP/1.1", "GET /net HTTP/1.1"}));
}

// ---- Requests and cookies

TEST_F(NetTest, RequestBytesAreExactly) {
    server.Next().Send(Reply::Answer(200, "x"));
    page.clear();
    EXPECT_TRUE(test::FetchNow(ws, server.Url("/find\\it?q=golf+clubs&r=%20\xe9#frag"), page));
    ASSERT_EQ(server.Requests.size(), 1u);
    EXPECT_EQ(server.Requests[0], "GET /find/it?q=golf+clubs&r=%20\xe9 HTTP/1.1\r\n"
                                  "Content-Type: text/html\r\n"
                                  "Host: 127.0.0.1:" +
                                      std::to_string(server.Port()) +
                                      "\r\n"
                                      "Accept: text/html, */*\r\n"
                                      "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                                      "\r\n");
}

TEST_F(NetTest, CookiesOfEveryAnswerGoOutAsOneHeader) {
    server.Next().Send(Reply::Answer(302, "", "Set-Cookie: first=1\r\nLocation: /b\r\n"));
    server.Next().Send(
        Reply::Answer(200, "x", "set-cookie2: second=2; Version=1\r\nSet-Cookie: third=3; Path=/\r\n"));
    server.Next().Send(Reply::Answer(200, "y"));
    EXPECT_TRUE(Fetch("/a"));
    EXPECT_TRUE(Fetch("/c"));
    ASSERT_EQ(server.Requests.size(), 3u);
    EXPECT_EQ(server.Requests[0].find("Cookie:"), std::string::npos);
    EXPECT_NE(server.Requests[1].find("\r\nCookie: first=1\r\n\r\n"), std::string::npos)
        << server.Requests[1];
    const std::string& last = server.Requests[2];
    const auto cookie = last.find("\r\nCookie: ");
    ASSERT_NE(cookie, std::string::npos) << last;
    EXPECT_TRUE(last.ends_with("\r\n\r\n"));
    for (const char* pair : {"first=1", "second=2", "third=3"})
        EXPECT_NE(last.find(pair, cookie), std::string::npos) << pair << " in " << last;
    EXPECT_EQ(last.find("Cookie:"), last.rfind("Cookie:"));
}

TEST_F(NetTest, CookieForAnotherDomainIsRefused) {
    server.Next().Send(Reply::Answer(200, "x", "Set-Cookie: evil=1; Domain=example.com\r\n"));
    server.Next().Send(Reply::Answer(200, "y"));
    EXPECT_TRUE(Fetch());
    EXPECT_TRUE(Fetch());
    EXPECT_EQ(server.Requests[1].find("Cookie:"), std::string::npos);
}

// ---- Stop and disconnect

struct StopCase {
    const char* Name;
    std::string Head;    // sent, then the client waits for more
    bool FromServerHook; // Stop arrives as an event inside the wait, else from the idle pump
};

class Stop : public NetTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(Stop, PressedInsideTheWaitEndsTheFetch) {
    const auto& c = GetParam();
    auto pressStop = [this] {
        ws.Runs.Stop();
        ws.http.Disconnect();
    };
    auto& reply = server.Next().Send(c.Head);
    if (c.FromServerHook)
        reply.Pause(5).Then(pressStop);
    else
        ui.OnTurn = [&, pressStop, shows = -1]() mutable {
            // Only from the idle wait: a progress notification shows the gauge before it pumps.
            if (ws.http.Busy() && ui.GaugeShows >= 3 && ui.GaugeShows == shows)
                pressStop();
            shows = ui.GaugeShows;
        };
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(page, "");
    // Whether the GET then ended normally or with an error, only the stop is reported.
    EXPECT_EQ(ws.MainStatusText(), kAborted);
    EXPECT_FALSE(ScratchExists());
    EXPECT_FALSE(ws.http.Busy());
    EXPECT_FALSE(ws.http.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Framings, Stop,
    ::testing::Values(
        StopCase{"LengthFromPump", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc", false},
        StopCase{"LengthFromHandler", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc", true},
        StopCase{"UntilCloseFromPump", "HTTP/1.1 200 OK\r\n\r\nabc", false},
        StopCase{"UntilCloseFromHandler", "HTTP/1.1 200 OK\r\n\r\nabc", true},
        StopCase{"ChunkedFromPump", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc", false},
        StopCase{"ChunkedFromHandler", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc",
                 true},
        StopCase{"BeforeTheHead", "HTTP/1.1 200 OK\r\n", true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NetTest, StopWhileTheAnswerIsAwaitedReportsTheStop) {
    // Nothing answers the request: the Stop comes from the idle pump while the head is awaited.
    server.Next();
    ui.OnTurn = [this] {
        if (ws.http.Busy()) {
            ws.Runs.Stop();
            ws.http.Disconnect();
        }
    };
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(ws.MainStatusText(), kAborted);
}

TEST_F(NetTest, DisconnectWithNothingConnectedIsHarmless) {
    ws.http.Disconnect();
    ws.http.Disconnect();
    server.Next().Send(Reply::Answer(200, "x"));
    EXPECT_TRUE(Fetch());
    ws.http.Disconnect();
}

TEST_F(NetTest, AbortedDownloadDisconnectsAtTheFirstNotification) {
    const std::string target = ws.ProgramFolder + "update.inf";
    server.Next().Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabc").Pause(200).Send("def");
    ws.Runs.Stop();
    // Framed by length: the cut-short body ends normally with the part received.
    EXPECT_TRUE(test::DownloadNow(ws, server.Url("/u"), target));
    EXPECT_EQ(ReadFile(target), "abc");
    EXPECT_TRUE(ws.Runs.Aborted());
    EXPECT_TRUE(ui.StatusLog.empty());

    server.Next()
        .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n")
        .Pause(200)
        .Send("3\r\ndef\r\n0\r\n\r\n");
    EXPECT_FALSE(test::DownloadNow(ws, server.Url("/u"), target));
    EXPECT_FALSE(std::filesystem::exists(target));
}

// ---- One request at a time

TEST_F(NetTest, NestedRequestsAreRefusedWithoutDisturbingTheOneUnderWay) {
    const std::string target = ws.ProgramFolder + "nested.inf";
    int refused = 0;
    bool busyInside = false;
    server.Next()
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabc")
        .Pause(5)
        .Then([&] {
            busyInside = ws.http.Busy();
            std::string nested = "nested";
            try {
                test::FetchNow(ws, server.Url("/nested"), nested);
            } catch (const std::runtime_error&) {
                ++refused;
            }
            try {
                test::DownloadNow(ws, server.Url("/nested"), target);
            } catch (const std::runtime_error&) {
                ++refused;
            }
            NullSink sink;
            if (!test::Await(ws.http.Get(ws.http.For(server.Url("/nested")), sink)).Ok())
                ++refused;
        })
        .Send("def");
    EXPECT_TRUE(Fetch());
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(page, "abcdef\r\n");
    EXPECT_EQ(ws.MainStatusText(), kCompleted);
    EXPECT_EQ(server.Connections, 1);
    EXPECT_FALSE(std::filesystem::exists(target));
}

// ---- DownloadFile

TEST_F(NetTest, DownloadReplacesTheTargetAndWritesNoStatus) {
    const std::string target = ws.ProgramFolder + "mainappupdate.inf";
    WriteFile(target, std::string(10000, 'o'));
    server.Next().Send(Reply::Chunked({"[Update]\r\n", "Version=2\r\n"}));
    EXPECT_TRUE(test::DownloadNow(ws, server.Url("/liveupdate/vorlith/mainappupdate.inf"), target));
    EXPECT_EQ(ReadFile(target), "[Update]\r\nVersion=2\r\n");
    EXPECT_TRUE(ui.StatusLog.empty());
}

TEST_F(NetTest, DownloadFailureRemovesAnExistingTarget) {
    const std::string target = ws.ProgramFolder + "mainappupdate.inf";
    WriteFile(target, "old");
    server.Next().Send(Reply::Answer(404, "no")).Close();
    EXPECT_FALSE(test::DownloadNow(ws, server.Url("/x"), target));
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(NetTest, DownloadIntoAFolderIsAnError) {
    const std::string target = ws.ProgramFolder + "sub";
    std::filesystem::create_directory(target);
    EXPECT_THROW(test::DownloadNow(ws, server.Url("/x"), target), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(server.Connections, 0);
}

} // namespace
} // namespace vorlith::test
