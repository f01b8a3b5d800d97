#pragma once
// Reading the answers of the entries that sources.ini defines: charset, markers, JSON, JSONP and
// XML with a Path, the count-number rule, block pages and Retry-After.

#include "workspace/Sources.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

// The body as UTF-8: decoded from the entry's Charset, else from the Content-Type's charset, else
// taken as UTF-8. An unknown charset name leaves the bytes as they are.
std::string DecodeBody(std::string_view body, std::string_view contentType, std::string_view charset);

// What an answer held: the texts the entry's Path reaches, or why it could not be read.
struct ReadTexts {
    std::vector<std::string> Texts;
    std::string Error; // empty when the answer was read
};
// Every suggestion (limit 0) or the first limit texts. Markers are cleaned with CleanHtml.
ReadTexts ReadEntryTexts(const SourceEntry& entry, std::string_view text, std::size_t limit = 0);

// The first number of the text, its group separators (, . ' space U+00A0 U+202F, each before
// exactly three digits) dropped: "About 1,230,000 results" gives "1230000"; none gives "".
std::string FirstCount(std::string_view text);

// The Blocked text the page holds (letter case ignored), or empty.
std::string BlockedTextIn(std::string_view page, const std::vector<std::string>& blocked);

// How long a Retry-After value asks to wait: seconds or an HTTP date, capped at 60 s, 5 s when
// missing or unreadable. nowUtcSeconds is the clock (for dates).
int RetryAfterMs(std::string_view value, long long nowUtcSeconds);

} // namespace vorlith
