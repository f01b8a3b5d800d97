#pragma once
// The answers of today's autocomplete services and result pages, in each shape that sources.ini
// can read, under /sources/<shape>?q=...: for the tests, the benchmark and the demo.

#include <string>
#include <string_view>

namespace vorlith::standin {

struct SourceReply {
    int Status = 200;
    std::string ContentType;
    std::string Body;
    std::string RetryAfter; // sent as Retry-After when not empty
};

inline constexpr std::string_view SourcesPathPrefix = "/sources/";

// The answer for a shape (json, jsonp, phrases, amazon, yahoo, xml, latin1, cp1251, empty, check,
// busy, count) and a query; an unknown shape is a 404.
SourceReply SourceAnswer(std::string_view shape, std::string_view query, std::string_view callback);

} // namespace vorlith::standin
