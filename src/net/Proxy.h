#pragma once
// Which proxy a request goes through: http_proxy for plain requests, https_proxy for secure ones,
// no_proxy for the hosts that are reached directly. All empty: every request goes direct.

#include "net/HttpAddress.h"

#include <optional>
#include <string>
#include <string_view>

namespace vorlith {

struct ProxySettings {
    std::string Http;    // "http://[user:password@]host:port" or "host:port"; empty: direct
    std::string Https;   // the same, reached with CONNECT
    std::string NoProxy; // comma-separated hosts or domain suffixes, "*" for all
    bool Empty() const { return Http.empty() && Https.empty(); }
};

// A proxy to connect to: where it is, and the credentials it asks for.
struct ProxyEndpoint {
    HttpAddress Address;
    std::string User;
    std::string Password;
};

// The lower-case variables, or the upper-case ones when those are unset. HTTP_PROXY is not read:
// a web server's CGI sets it from a request header.
ProxySettings ProxiesFromEnvironment();

// A proxy address as http_proxy holds it. Throws HttpError when it is no http:// proxy address.
ProxyEndpoint ParseProxy(std::string_view text);

// True when no_proxy names the host (case ignored; "a.example" and ".a.example" both cover
// "www.a.example"; "host:port" only that port).
bool BypassesProxy(std::string_view noProxy, const HttpAddress& address);

// The proxy for this address, or none. Throws HttpError when the chosen setting is malformed.
std::optional<ProxyEndpoint> ProxyFor(const ProxySettings& settings, const HttpAddress& address);

} // namespace vorlith
