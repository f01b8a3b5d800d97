#pragma once
// The parts of a request address, taken as typed: nothing is percent-encoded or decoded.

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlith {

struct HttpAddress {
    bool Secure = false; // https
    std::string Host;    // without brackets for an IPv6 literal
    std::uint16_t Port = 80;
    std::string Target = "/"; // path and query, never empty

    bool DefaultPort() const { return Port == (Secure ? 443 : 80); }
    // The Host header's value: the host, with ":port" when the port is not the scheme's default.
    std::string HostHeader() const;
    // scheme://host[:port] followed by the target.
    std::string Text() const;
};

// Parses an absolute http:// or https:// address; a backslash counts as a slash and a "#"
// fragment is dropped. Throws HttpError for anything else.
HttpAddress ParseHttpAddress(std::string_view address);

// A redirect's Location taken relative to the address that answered it.
HttpAddress ResolveLocation(const HttpAddress& base, std::string_view location);

} // namespace vorlith
