#include "net/HttpFailure.h"

namespace vorlith {

std::string HttpFailure::Text() const {
    std::string cause;
    switch (What) {
    case Kind::None:
        return {};
    case Kind::Refused:
        cause = "connection refused";
        break;
    case Kind::TimedOut:
        cause = "timed out";
        break;
    case Kind::Dns:
        cause = "host name not found (DNS)";
        break;
    case Kind::Tls:
        cause = "secure connection failed (TLS)";
        break;
    case Kind::Status:
        cause = "HTTP status " + std::to_string(Status);
        break;
    case Kind::Closed:
        cause = "the connection closed before the whole answer came";
        break;
    case Kind::Stopped:
        cause = "stopped";
        break;
    case Kind::Other:
        cause = Message.empty() ? std::string("failed") : Message;
        break;
    }
    return (Host.empty() ? std::string("(no host)") : Host) + ": " + cause;
}

} // namespace vorlith
