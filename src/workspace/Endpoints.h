#pragma once

#include <string>
#include <string_view>

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

// The file beside the program whose optional [Endpoints] section overrides the defaults.
inline constexpr std::string_view EndpointsFileName = "dbconfig.dat";
inline constexpr std::string_view EndpointsSection = "Endpoints";

// defaults, with each key of the file's [Endpoints] section that has a value put in its place (keys
// named after the fields, INI rules, trailing "/" dropped so paths append directly). A missing
// file or section changes nothing.
vorlith::Endpoints LoadEndpoints(const std::string& configFile, vorlith::Endpoints defaults = {});

} // namespace vorlith
