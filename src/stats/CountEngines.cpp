#include "stats/CountEngines.h"

#include "workspace/SourceFormats.h"

namespace vorlith {

std::string CountEngine::Address(std::string_view keyword, std::string_view wrap) const {
    if (Builtin())
        return RequestAddress(builtin_, endpoints_, keyword, wrap);
    std::string query(wrap);
    query += EncodeQuery(keyword, entry_.Query);
    query += wrap;
    return FillQuery(entry_.Url, query);
}

CountEngine::Reading CountEngine::Read(std::string_view page) const {
    if (Builtin())
        return {true, CutCount(builtin_, page), {}};
    const ReadTexts read = ReadEntryTexts(entry_, page, 1);
    if (!read.Error.empty())
        return {false, {}, entry_.Name + ": " + read.Error};
    std::string count = read.Texts.empty() ? std::string() : FirstCount(read.Texts.front());
    if (count.empty())
        return {false, {}, entry_.Name + ": no count on the page"};
    return {true, std::move(count), {}};
}

CountEngine CountEngineFor(const SourcesList& sources, const Endpoints& endpoints, std::size_t i) {
    return CountEngine(SearchEngineTable[i], sources.Counts[i], endpoints);
}

} // namespace vorlith
