#include "net/HttpAddress.h"

#include "net/HttpError.h"

#include <algorithm>
#include <vector>

namespace vorlith {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerText(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), Lower);
    return result;
}

std::string Slashes(std::string_view text) {
    std::string result(text);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string_view DropFragment(std::string_view text) {
    const auto hash = text.find('#');
    return hash == std::string_view::npos ? text : text.substr(0, hash);
}

// The scheme when the text starts with one ("http:"), else empty.
std::string_view SchemeOf(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return {};
    }
    return text.substr(0, colon);
}

// Removes "." and ".." segments so that a relative location lands where a browser would go.
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    const bool trailing = path.ends_with("/.") || path.ends_with("/..") || path == "." || path == "..";
    while (pos <= path.size()) {
        auto slash = path.find('/', pos);
        if (slash == std::string_view::npos)
            slash = path.size();
        const std::string_view segment = path.substr(pos, slash - pos);
        if (segment == "..") {
            if (out.size() > 1)
                out.pop_back();
        } else if (segment != ".") {
            out.push_back(segment);
        }
        pos = slash + 1;
    }
    std::string result;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0)
            result += '/';
        result += out[i];
    }
    if (trailing && !result.ends_with('/'))
        result += '/';
    if (result.empty() || result.front() != '/')
        result.insert(result.begin(), '/');
    return result;
}

} // namespace

std::string HttpAddress::HostHeader() const {
    std::string host;
    const bool literal = Host.find(':') != std::string::npos;
    if (literal)
        host += '[';
    host += Host;
    if (literal)
        host += ']';
    if (!DefaultPort()) {
        host += ':';
        host += std::to_string(Port);
    }
    return host;
}

std::string HttpAddress::Text() const {
    return (Secure ? "https://" : "http://") + HostHeader() + Target;
}

HttpAddress ParseHttpAddress(std::string_view address) {
    const std::string text = Slashes(DropFragment(address));
    const std::string scheme = LowerText(SchemeOf(text));
    HttpAddress result;
    if (scheme == "http")
        result.Secure = false;
    else if (scheme == "https")
        result.Secure = true;
    else
        throw HttpError("Not an http or https address: " + std::string(address));
    std::string_view rest = std::string_view(text).substr(scheme.size() + 1);
    if (!rest.starts_with("//"))
        throw HttpError("The address has no host: " + std::string(address));
    rest.remove_prefix(2);
    const auto end = std::min(rest.find('/'), rest.find('?'));
    std::string_view authority = rest.substr(0, std::min(end, rest.size()));
    std::string_view target = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    // No credentials are ever sent.
    if (const auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            throw HttpError("Malformed host in address: " + std::string(address));
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                throw HttpError("Malformed host in address: " + std::string(address));
            port = after.substr(1);
        }
    } else if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty())
        throw HttpError("The address has no host: " + std::string(address));
    result.Host = std::string(host);
    result.Port = result.Secure ? 443 : 80;
    if (!port.empty()) {
        unsigned value = 0;
        for (char c : port) {
            if (c < '0' || c > '9' || value > 65535)
                throw HttpError("Malformed port in address: " + std::string(address));
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535)
            throw HttpError("Malformed port in address: " + std::string(address));
        result.Port = static_cast<std::uint16_t>(value);
    }
    result.Target.clear();
    if (target.empty() || target.front() == '?')
        result.Target += '/';
    result.Target += target;
    return result;
}

HttpAddress ResolveLocation(const HttpAddress& base, std::string_view location) {
    const std::string text = Slashes(DropFragment(location));
    if (!SchemeOf(text).empty())
        return ParseHttpAddress(text);
    if (text.starts_with("//"))
        return ParseHttpAddress((base.Secure ? "https:" : "http:") + text);
    HttpAddress result = base;
    const std::string_view basePath = std::string_view(base.Target).substr(0, base.Target.find('?'));
    if (text.empty())
        return result;
    if (text.front() == '?') {
        result.Target = std::string(basePath) + text;
        return result;
    }
    const auto query = text.find('?');
    const std::string_view path = std::string_view(text).substr(0, query);
    const std::string_view tail =
        query == std::string::npos ? std::string_view{} : std::string_view(text).substr(query);
    std::string merged;
    if (path.starts_with('/'))
        merged = std::string(path);
    else
        merged = std::string(basePath.substr(0, basePath.rfind('/') + 1)) + std::string(path);
    result.Target = RemoveDotSegments(merged) + std::string(tail);
    return result;
}

} // namespace vorlith
