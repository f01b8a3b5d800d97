#pragma once

#include <stdexcept>

namespace vorlith {

// Any failure of a request: no connection, an error status, a malformed or oversized answer.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vorlith
