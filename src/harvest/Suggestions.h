#pragma once
// Reading the keyword-suggestion service: the request address for a main keyword, and the rows
// of its answer page.

#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class Workspace;

inline constexpr std::string_view SuggestionPath = "/?seed=";
inline constexpr std::string_view SuggestionParameters = "&adult_filter=remove_offensive&suggest=Hit+Me";
// The page is read only when it holds the footer's end tag in exactly this letter case.
inline constexpr std::string_view FooterEnd = "</tfoot>";

// base, the path, the keyword with every space turned into "+" and & # % + and control bytes
// percent-encoded (so the keyword cannot change the question; nothing trimmed) and the fixed
// parameters.
std::string SuggestionAddress(std::string_view base, std::string_view mainKeyword);

// Appends one row per suggestion after the table footer, numbered on from the table's row count,
// and shows the item count after each; stops at the first search count that cleans to nothing.
// Linear in the page, whatever the page holds.
void ParseSuggestions(Workspace& ws, std::string_view page);

struct Suggestion {
    std::string Keyword;
    std::string Count; // the Searches cell
};
// The same reading, into a list instead of the table.
std::vector<Suggestion> ReadSuggestions(std::string_view page);

} // namespace vorlith
