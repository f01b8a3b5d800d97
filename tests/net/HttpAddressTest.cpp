// Addresses are taken as typed; relative locations resolve like a browser's.
#include "net/HttpAddress.h"

#include "net/CookieStore.h"
#include "net/HttpError.h"

#include <gtest/gtest.h>

namespace vorlith::test {
namespace {

TEST(HttpAddress, ParsesWithoutEncoding) {
    const struct {
        const char* Address;
        bool Secure;
        const char* Host;
        int Port;
        const char* Target;
        const char* HostHeader;
    } cases[] = {
        {"http://www.google.com", false, "www.google.com", 80, "/", "www.google.com"},
        {"HTTP://Example.COM:80/a", false, "Example.COM", 80, "/a", "Example.COM"},
        {"http://h:8080/search?q=golf+clubs&x=%41 b", false, "h", 8080, "/search?q=golf+clubs&x=%41 b",
         "h:8080"},
        {"http://h?q=1", false, "h", 80, "/?q=1", "h"},
        {"http://h/p#frag?no", false, "h", 80, "/p", "h"},
        {"http:\\\\h\\a\\b", false, "h", 80, "/a/b", "h"},
        {"https://secure.example/x", true, "secure.example", 443, "/x", "secure.example"},
        {"https://secure.example:80/", true, "secure.example", 80, "/", "secure.example:80"},
        {"http://user:pw@h/", false, "h", 80, "/", "h"},
        {"http://[::1]:81/v6", false, "::1", 81, "/v6", "[::1]:81"},
    };
    for (const auto& c : cases) {
        const HttpAddress a = ParseHttpAddress(c.Address);
        EXPECT_EQ(a.Secure, c.Secure) << c.Address;
        EXPECT_EQ(a.Host, c.Host) << c.Address;
        EXPECT_EQ(a.Port, c.Port) << c.Address;
        EXPECT_EQ(a.Target, c.Target) << c.Address;
        EXPECT_EQ(a.HostHeader(), c.HostHeader) << c.Address;
    }
}

TEST(HttpAddress, RefusesWhatIsNoHttpAddress) {
    for (const char* address :
         {"", "www.google.com/x", "ftp://h/", "mailto:a@b", "http:/h", "http://", "http://:80/",
          "http://h:0/", "http://h:65536/", "http://h:8a/", "http://[::1/"})
        EXPECT_THROW(ParseHttpAddress(address), HttpError) << address;
}

TEST(HttpAddress, ResolvesLocations) {
    const HttpAddress base = ParseHttpAddress("http://h:81/a/b/c?q=1");
    const struct {
        const char* Location;
        const char* Result;
    } cases[] = {
        {"d", "http://h:81/a/b/d"},     {"./d?x", "http://h:81/a/b/d?x"},
        {"../d", "http://h:81/a/d"},    {"../../../../d", "http://h:81/d"},
        {"/root", "http://h:81/root"},  {"?z=2", "http://h:81/a/b/c?z=2"},
        {"", "http://h:81/a/b/c?q=1"},  {"//other/x", "http://other/x"},
        {"https://s/y", "https://s/y"}, {"HTTP://up:82", "http://up:82/"},
        {"..", "http://h:81/a/"},       {"e\\f#g", "http://h:81/a/b/e/f"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveLocation(base, c.Location).Text(), c.Result) << c.Location;
}

HttpResponseHead WithCookie(const std::string& value) {
    HttpResponseHead head;
    head.Status = 200;
    head.Headers.push_back({"Set-Cookie", value});
    return head;
}

TEST(CookieStore, RefusesOtherDomainsAndPublicSuffixes) {
    const struct {
        const char* From;
        const char* Cookie;
        bool Accepted;
    } cases[] = {
        {"http://www.shop.com/", "a=1", true},
        {"http://www.shop.com/", "a=1; Domain=.shop.com", true},
        {"http://www.shop.com/", "a=1; Domain=.com", false},
        {"http://www.shop.co.uk/", "a=1; Domain=co.uk", false},
        {"http://www.shop.com/", "a=1; Domain=other.com", false},
        {"http://www.shop.com/", "a=1; Domain=evil.www.shop.com", false},
    };
    for (const auto& c : cases) {
        CookieStore store;
        EXPECT_EQ(store.StoreFromAnswer(WithCookie(c.Cookie), ParseHttpAddress(c.From)), c.Accepted ? 1 : 0)
            << c.Cookie;
    }
}

TEST(CookieStore, SendsMatchingCookiesOnly) {
    CookieStore store;
    const HttpAddress from = ParseHttpAddress("http://www.shop.com/cart/view");
    HttpResponseHead head = WithCookie("sid=42; Path=/");
    head.Headers.push_back({"set-cookie2", "cart=7; Path=/cart"});
    head.Headers.push_back({"Set-Cookie", "secure=1; Path=/; Secure"});
    head.Headers.push_back({"Set-Cookie", "old=1; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT"});
    store.StoreFromAnswer(head, from);
    EXPECT_EQ(store.CookieHeader(ParseHttpAddress("http://www.shop.com/")), "sid=42");
    const std::string cart = store.CookieHeader(ParseHttpAddress("http://www.shop.com/cart/x"));
    EXPECT_NE(cart.find("cart=7"), std::string::npos);
    EXPECT_NE(cart.find("sid=42"), std::string::npos);
    EXPECT_NE(cart.find("; "), std::string::npos);
    EXPECT_NE(store.CookieHeader(ParseHttpAddress("https://www.shop.com/")).find("secure=1"),
              std::string::npos);
    EXPECT_EQ(store.CookieHeader(ParseHttpAddress("http://other.com/")), "");
}

} // namespace
} // namespace vorlith::test
