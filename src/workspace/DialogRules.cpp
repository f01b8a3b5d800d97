#include "workspace/DialogRules.h"

#include "platform/Files.h"

namespace vorlith {

std::optional<std::string_view> MainKeywordRefusal(std::string_view keyword) {
    if (keyword.empty())
        return NoMainKeywordMessage;
    return std::nullopt;
}

std::optional<std::string_view> AddKeywordsRefusal(std::string_view keyword, std::string_view listFile) {
    if (!keyword.empty() && !listFile.empty())
        return BothWaysMessage;
    if (!listFile.empty() && !FileExists(listFile))
        return InvalidFileMessage;
    return std::nullopt;
}

} // namespace vorlith
