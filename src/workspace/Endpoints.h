#pragma once

#include <string>

namespace vorlith {

// Scheme and host of the six web endpoints; every request address starts with one of them.
struct Endpoints {
    std::string SuggestionServiceBase = "http://freekeywords.wordtracker.com";
    std::string GoogleSearchBase = "http://www.google.com";
    std::string YahooSearchBase = "http://search.yahoo.com";
    std::string MsnSearchBase = "http://search.msn.com";
    // The maker's site is a reserved name until the program is published.
    std::string MakerSiteBase = "http://www.vorlith.example";
    std::string UpdateBase = "http://www.vorlith.example";
};

} // namespace vorlith
