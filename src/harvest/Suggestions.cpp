#include "harvest/Suggestions.h"

#include "text/UUtils.h"
#include "workspace/Sources.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <algorithm>

namespace vorlith {

namespace {

constexpr std::string_view TagEnd = ">";
constexpr std::string_view CountStart = "<tr><td>";
constexpr std::string_view CountEnd = "</td>";
constexpr std::string_view KeywordStart = "\">";
constexpr std::string_view KeywordEnd = "</a>";

char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(),
                                                      [](char a, char b) { return Folded(a) == Folded(b); });
}

// A marker of the walk, with what is known of where it is not.
struct WalkMarker {
    explicit WalkMarker(std::string_view text) : Cut(text) {}
    vorlith::Marker Cut;
    std::size_t MissingWithin = 0; // not in the last MissingWithin bytes of the page
};

// Cuts through the page with ExtractBetween on one working copy. A marker found missing from some
// point on is missing from every later point too, so it is not searched for again: without this, a
// page of rows that lack their keyword link would be rescanned to its end for every row.
class PageWalk {
public:
    explicit PageWalk(std::string_view page) : copy_(page) {}

    std::string_view Cut(WalkMarker& first, WalkMarker& second) {
        if (Missing(first))
            return {};
        const std::size_t before = copy_.size();
        if (Missing(second)) {
            // Same effect as the full cut: the copy moves past the first marker, the result is empty.
            ExtractBetween(copy_, first.Cut, nothing_);
            if (copy_.size() == before)
                MarkMissing(first);
            return {};
        }
        const std::string_view cut = ExtractBetween(copy_, first.Cut, second.Cut);
        if (copy_.size() == before)
            MarkMissing(first);
        else if (cut.empty() && !StartsWithIgnoringCase(copy_, second.Cut.Text()))
            MarkMissing(second);
        return cut;
    }

private:
    bool Missing(const WalkMarker& marker) const {
        return marker.MissingWithin > 0 && copy_.size() <= marker.MissingWithin;
    }
    void MarkMissing(WalkMarker& marker) const {
        marker.MissingWithin = std::max(marker.MissingWithin, copy_.size());
    }

    std::string_view copy_;
    const vorlith::Marker nothing_{{}};
};

} // namespace

std::string SuggestionAddress(std::string_view base, std::string_view mainKeyword) {
    std::string address;
    address.reserve(base.size() + SuggestionPath.size() + mainKeyword.size() + SuggestionParameters.size());
    address.append(base).append(SuggestionPath);
    address.append(EncodeQuery(mainKeyword, QueryEncoding::Plus));
    address.append(SuggestionParameters);
    return address;
}

namespace {

// The walk of the suggestion table: take(keyword, count) per suggestion, in page order.
template <typename Take> void WalkSuggestions(std::string_view page, Take take) {
    if (page.find(FooterEnd) == std::string_view::npos)
        return;
    WalkMarker footerEnd{FooterEnd}, tagEnd{TagEnd};
    WalkMarker countStart{CountStart}, countEnd{CountEnd}, keywordStart{KeywordStart}, keywordEnd{KeywordEnd};
    PageWalk walk(page);
    walk.Cut(footerEnd, tagEnd); // nothing before the end of the footer's tag is read
    std::string count = CleanHtml(walk.Cut(countStart, countEnd));
    while (!count.empty()) {
        std::string keyword = CleanHtml(walk.Cut(keywordStart, keywordEnd));
        take(std::move(keyword), std::move(count));
        count = CleanHtml(walk.Cut(countStart, countEnd));
    }
}

} // namespace

void ParseSuggestions(Workspace& ws, std::string_view page) {
    WalkSuggestions(page, [&ws](std::string keyword, std::string count) {
        ws.table.Append({std::move(keyword), std::move(count), {}, {}, {}});
        ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
    });
}

std::vector<Suggestion> ReadSuggestions(std::string_view page) {
    std::vector<Suggestion> found;
    WalkSuggestions(page, [&found](std::string keyword, std::string count) {
        found.push_back({std::move(keyword), std::move(count)});
    });
    return found;
}

} // namespace vorlith
