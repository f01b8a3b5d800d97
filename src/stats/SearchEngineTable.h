#pragma once
// The three search engines asked for a keyword's result count, in the order they are asked: how
// each request address is built and where the count lies in the answer page.

#include "workspace/Endpoints.h"
#include "workspace/KeywordTable.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlith {

struct SearchEngine {
    std::string_view Name;
    std::string Endpoints::*Base; // scheme and host
    std::string_view Path;        // path and query key; the query text follows
    // The first cut only moves the read position; the second yields the count.
    std::string_view FirstStart;
    std::string_view FirstEnd;
    std::string_view SecondStart;
    std::string_view SecondEnd;
    bool RemoveResultsWord; // MSN: every "results" removed from the count, then trimmed
    Column Target;
};

inline constexpr std::array<SearchEngine, 3> SearchEngineTable{{
    {"Google", &Endpoints::GoogleSearchBase, "/search?q=", "<font size=-1>Results", "of about <b>",
     "of about <b>", "</b>", false, Column::Google},
    {"Yahoo", &Endpoints::YahooSearchBase, "/search?p=", "\"infotext\">", "of ", "of ", " for ", false,
     Column::Yahoo},
    {"MSN", &Endpoints::MsnSearchBase, "/results.aspx?q=", "<span id=\"count\">", " of ", " of ", "</span>",
     true, Column::Msn},
}};

// "%22" around the keyword in precise mode (0); nothing in any other mode.
std::string_view WrapText(std::int32_t searchMode);

// The query text: the wrap, the keyword with every space made "+" and & # % + and control bytes
// percent-encoded, the wrap again. Any other keyword is sent as it stands.
std::string SearchQuery(std::string_view keyword, std::string_view wrap);

std::string RequestAddress(const SearchEngine& engine, const Endpoints& endpoints, std::string_view keyword,
                           std::string_view wrap);

// The count on an answer page; empty when the page lacks the second cut's markers.
std::string CutCount(const SearchEngine& engine, std::string_view page);

} // namespace vorlith
