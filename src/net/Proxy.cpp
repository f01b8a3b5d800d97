#include "net/Proxy.h"

#include "net/HttpError.h"

#include <algorithm>
#include <cstdlib>

namespace vorlith {

namespace {

std::string Variable(const char* lower, const char* upper) {
    if (const char* value = std::getenv(lower))
        return value;
    if (upper)
        if (const char* value = std::getenv(upper))
            return value;
    return {};
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

ProxySettings ProxiesFromEnvironment() {
    return {Variable("http_proxy", nullptr), Variable("https_proxy", "HTTPS_PROXY"),
            Variable("no_proxy", "NO_PROXY")};
}

ProxyEndpoint ParseProxy(std::string_view text) {
    text = Trimmed(text);
    std::string full(text);
    if (full.find("://") == std::string::npos)
        full = "http://" + full;
    if (!Lower(full).starts_with("http://"))
        throw HttpError("The proxy \"" + std::string(text) + "\" is not an http:// proxy address");
    ProxyEndpoint proxy;
    // Credentials sit before the last '@' of the authority.
    const std::size_t authority = 7;
    const std::size_t end = std::min(full.find_first_of("/?#", authority), full.size());
    if (const auto at = full.rfind('@', end); at != std::string::npos && at >= authority) {
        const std::string credentials = full.substr(authority, at - authority);
        const auto colon = credentials.find(':');
        proxy.User = credentials.substr(0, colon);
        if (colon != std::string::npos)
            proxy.Password = credentials.substr(colon + 1);
        full.erase(authority, at + 1 - authority);
    }
    try {
        proxy.Address = ParseHttpAddress(full);
    } catch (const HttpError&) {
        throw HttpError("The proxy \"" + std::string(text) + "\" is not an http:// proxy address");
    }
    if (proxy.Address.Host.empty())
        throw HttpError("The proxy \"" + std::string(text) + "\" names no host");
    return proxy;
}

bool BypassesProxy(std::string_view noProxy, const HttpAddress& address) {
    const std::string host = Lower(address.Host);
    while (!noProxy.empty()) {
        const auto comma = noProxy.find(',');
        std::string entry = Lower(Trimmed(noProxy.substr(0, comma)));
        noProxy.remove_prefix(comma == std::string_view::npos ? noProxy.size() : comma + 1);
        if (entry == "*")
            return true;
        // "host:port" (not an IPv6 literal): only that port.
        if (const auto colon = entry.rfind(':');
            colon != std::string::npos && entry.find(':') == colon) {
            if (entry.substr(colon + 1) != std::to_string(address.Port))
                continue;
            entry.resize(colon);
        }
        if (!entry.empty() && entry.front() == '.')
            entry.erase(0, 1);
        if (entry.size() >= 2 && entry.front() == '[' && entry.back() == ']')
            entry = entry.substr(1, entry.size() - 2);
        if (entry.empty())
            continue;
        if (host == entry || (host.size() > entry.size() && host.ends_with(entry) &&
                              host[host.size() - entry.size() - 1] == '.'))
            return true;
    }
    return false;
}

std::optional<ProxyEndpoint> ProxyFor(const ProxySettings& settings, const HttpAddress& address) {
    const std::string& chosen = address.Secure ? settings.Https : settings.Http;
    if (Trimmed(chosen).empty() || BypassesProxy(settings.NoProxy, address))
        return std::nullopt;
    return ParseProxy(chosen);
}

} // namespace vorlith
