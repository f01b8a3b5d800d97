#pragma once
// The pages of the stand-in web service, in the shapes the program reads. Every page is a pure
// function of its inputs, so the same request always gives the same bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith::standin {

// Repeatable hashing and mixing, the same on every machine.
std::uint64_t Hash(std::string_view text, std::uint64_t salt = 0);
std::uint64_t Mix(std::uint64_t value);

// 1234567 -> "1,234,567".
std::string WithThousandsSeparators(std::uint64_t value);
// &, <, > and " as entities, for text placed in a page.
std::string EscapeHtml(std::string_view text);
// The seed as the service files it: lower case ASCII, single spaces, no blanks at the ends.
std::string NormalizeKeyword(std::string_view keyword);

struct Suggestion {
    std::string Keyword;
    std::uint64_t Count = 0;
};

// 20 to 100 suggestions for a keyword, most searched first; none for an empty keyword.
std::vector<Suggestion> SuggestionsFor(std::string_view keyword);
std::string SuggestionPage(std::string_view keyword);

// The sentence by which the program recognises a challenge.
inline constexpr std::string_view ChallengeSentence = "Please enter the characters in the image";
std::string ChallengePage(std::string_view keyword, std::string_view random, std::string_view seed,
                          std::string_view imageAddress);

enum class Engine { Google, Yahoo, Msn };
// The result count an engine reports; a query in double quotes is the phrase search.
// 0 for a query without words.
std::uint64_t ResultCount(Engine engine, std::string_view query);
std::string ResultsPage(Engine engine, std::string_view query);

std::string UpdateDescription(std::string_view version);
std::string HelpPage();
std::string AffiliatePage(std::string_view path);

} // namespace vorlith::standin
