#include "workspace/Endpoints.h"

#include "platform/IniFile.h"

#include <utility>

namespace vorlith {

vorlith::Endpoints LoadEndpoints(const std::string& configFile, vorlith::Endpoints defaults) {
    const std::pair<std::string_view, std::string vorlith::Endpoints::*> keys[] = {
        {"SuggestionServiceBase", &Endpoints::SuggestionServiceBase},
        {"GoogleSearchBase", &Endpoints::GoogleSearchBase},
        {"YahooSearchBase", &Endpoints::YahooSearchBase},
        {"MsnSearchBase", &Endpoints::MsnSearchBase},
        {"MakerSiteBase", &Endpoints::MakerSiteBase},
        {"UpdateBase", &Endpoints::UpdateBase},
    };
    for (const auto& [key, field] : keys) {
        std::string value = ReadIniString(configFile, EndpointsSection, key);
        // Every request address is a base followed by a path that starts with "/".
        while (!value.empty() && value.back() == '/')
            value.pop_back();
        if (!value.empty())
            defaults.*field = std::move(value);
    }
    return defaults;
}

} // namespace vorlith
