// Proxies (absolute-form plain requests, CONNECT for secure ones) and the cause a failed GET names.
#include "net/Proxy.h"
#include "support/NetFixture.h"

#include <QTcpServer>

namespace vorlith::test {
namespace {

class NoProxy : public ::testing::TestWithParam<std::tuple<const char*, const char*, bool>> {};

TEST_P(NoProxy, NamesTheHostsReachedDirectly) {
    const auto [noProxy, address, bypassed] = GetParam();
    EXPECT_EQ(BypassesProxy(noProxy, ParseHttpAddress(address)), bypassed) << noProxy << " " << address;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoProxy,
    ::testing::Values(std::tuple{"", "http://a.example/", false}, std::tuple{"*", "http://a.example/", true},
                      std::tuple{"a.example", "http://www.A.example/", true},
                      std::tuple{" .a.example ,b.example", "http://a.example/", true},
                      std::tuple{"a.example", "http://xa.example/", false},
                      std::tuple{"a.example:8080", "http://a.example/", false},
                      std::tuple{"a.example:8080", "http://a.example:8080/", true},
                      std::tuple{"[::1]", "http://[::1]:81/", true}, std::tuple{",,", "http://a.example/", false}));

class ProxyText : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(ProxyText, IsReadAsHttpProxiesWriteIt) {
    const auto [text, hostPortUser] = GetParam(); // "" when refused
    if (!*hostPortUser) {
        EXPECT_THROW(ParseProxy(text), HttpError);
        return;
    }
    const ProxyEndpoint proxy = ParseProxy(text);
    EXPECT_EQ(proxy.Address.HostHeader() + " " + proxy.User, hostPortUser);
}

INSTANTIATE_TEST_SUITE_P(Table, ProxyText,
                         ::testing::Values(std::pair{"proxy.example:3128", "proxy.example:3128 "},
                                           std::pair{"http://u:p@w@10.0.0.1:8080/", "10.0.0.1:8080 u"},
                                           std::pair{"https://proxy.example:443", ""},
                                           std::pair{"socks5://proxy.example:1080", ""}, std::pair{"http://", ""}));

class ThroughProxy : public NetTest {
protected:
    HttpClient::Result Get(const std::string& address) {
        NullSink sink;
        auto request = ws.http.For(address);
        request.Limits.ConnectTimeoutMs = 5000;
        const auto result = Await(ws.http.Get(std::move(request), sink));
        body = sink.Bytes;
        return result;
    }
    std::string body;
};

TEST_F(ThroughProxy, APlainRequestGoesWholeToTheProxyAndASecureOneThroughConnect) {
    ws.http.Proxies() = {"http://user:pw@127.0.0.1:" + std::to_string(server.Port()),
                         "127.0.0.1:" + std::to_string(server.Port()), "direct.example"};
    server.Next().Send(Reply::Answer(200, "ok")).Close();
    server.Next().Send("HTTP/1.1 200 Connection established\r\n\r\n").Close();
    const auto plain = Get("http://plain.example:8081/p?q=1");
    ASSERT_TRUE(plain.Ok()) << plain.Error;
    EXPECT_EQ(body, "ok");
    const auto secure = Get("https://secure.example/x");
    ASSERT_EQ(server.Requests.size(), 2u);
    EXPECT_TRUE(server.Requests[0].starts_with("GET http://plain.example:8081/p?q=1 HTTP/1.1\r\n"))
        << server.Requests[0];
    EXPECT_NE(server.Requests[0].find("Host: plain.example:8081\r\n"), std::string::npos);
    EXPECT_NE(server.Requests[0].find("Proxy-Authorization: Basic dXNlcjpwdw==\r\n"), std::string::npos);
    EXPECT_TRUE(server.Requests[1].starts_with("CONNECT secure.example:443 HTTP/1.1\r\n")) << server.Requests[1];
    // Once the proxy opened the tunnel, what fails is the host's; the proxy never saw the path.
    EXPECT_FALSE(secure.Ok());
    EXPECT_EQ(secure.Cause.Text(), "secure.example: the connection closed before the whole answer came");
    EXPECT_EQ(server.Requests[1].find("/x"), std::string::npos);
}

// A port that nothing listens on.
std::uint16_t ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

class FailureCause : public ThroughProxy,
                     public ::testing::WithParamInterface<std::tuple<std::string, HttpFailure::Kind, const char*>> {};

TEST_P(FailureCause, NamesTheHostAndWhatWentWrong) {
    const auto [name, kind, text] = GetParam(); // text: what follows "host: "
    std::string address = server.Url("/");
    std::string host = "127.0.0.1:" + std::to_string(server.Port());
    if (name == "refused") {
        host = "127.0.0.1:" + std::to_string(ClosedPort());
        address = "http://" + host + "/";
    } else if (name == "status") {
        server.Next().Send(Reply::Answer(404, "gone")).Close();
    } else if (name == "closed") {
        server.Next().Close();
    } else if (name == "silent") {
        ws.http.Options().ReadTimeoutMs = 300;
    } else if (name == "proxy refused") {
        ws.http.Proxies().Http = "127.0.0.1:" + std::to_string(ClosedPort());
        host = "proxy " + ws.http.Proxies().Http;
    }
    const auto result = Get(address);
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.Cause.What, kind) << result.Error;
    EXPECT_EQ(result.Cause.Text(), host + ": " + text);
    EXPECT_EQ(ws.http.LastFailure().Text(), result.Cause.Text());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailureCause,
    ::testing::Values(std::tuple{"refused", HttpFailure::Kind::Refused, "connection refused"},
                      std::tuple{"status", HttpFailure::Kind::Status, "HTTP status 404"},
                      std::tuple{"closed", HttpFailure::Kind::Closed, "the connection closed before the whole answer came"},
                      std::tuple{"silent", HttpFailure::Kind::TimedOut, "timed out"},
                      std::tuple{"proxy refused", HttpFailure::Kind::Refused, "connection refused"}));

} // namespace
} // namespace vorlith::test
