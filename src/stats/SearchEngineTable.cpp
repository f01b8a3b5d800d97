#include "stats/SearchEngineTable.h"

#include "text/UUtils.h"
#include "workspace/Sources.h"

namespace vorlith {

namespace {

constexpr std::string_view PreciseWrap = "%22";
constexpr std::string_view ResultsWord = "results";

} // namespace

std::string_view WrapText(std::int32_t searchMode) {
    return searchMode == 0 ? PreciseWrap : std::string_view();
}

std::string SearchQuery(std::string_view keyword, std::string_view wrap) {
    std::string query;
    query.reserve(keyword.size() + 2 * wrap.size());
    query += wrap;
    query += EncodeQuery(keyword, QueryEncoding::Plus);
    query += wrap;
    return query;
}

std::string RequestAddress(const SearchEngine& engine, const Endpoints& endpoints, std::string_view keyword,
                           std::string_view wrap) {
    std::string address = endpoints.*engine.Base;
    address += engine.Path;
    address += SearchQuery(keyword, wrap);
    return address;
}

std::string CutCount(const SearchEngine& engine, std::string_view page) {
    std::string_view buffer = page;
    ExtractBetween(buffer, engine.FirstStart, engine.FirstEnd);
    const std::string_view count = ExtractBetween(buffer, engine.SecondStart, engine.SecondEnd);
    if (!engine.RemoveResultsWord)
        return std::string(count);
    const std::string cleaned = ReplaceAll(count, ResultsWord, "");
    return std::string(TrimControls(cleaned));
}

} // namespace vorlith
