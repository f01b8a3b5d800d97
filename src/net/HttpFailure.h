#pragma once
// Why a request failed, in the words a user can act on: which host, and what went wrong there.

#include <string>

namespace vorlith {

struct HttpFailure {
    enum class Kind { None, Refused, TimedOut, Dns, Tls, Status, Closed, Stopped, Other };
    Kind What = Kind::None;
    std::string Host;    // host[:port] that failed (the proxy's when the proxy failed)
    int Status = 0;      // for Kind::Status
    std::string Message; // the client's own words, for Kind::Other

    // "host: cause", e.g. "a.example: connection refused", "a.example: HTTP status 404"; empty for None.
    std::string Text() const;
};

} // namespace vorlith
