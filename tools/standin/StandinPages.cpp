#include "StandinPages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace vorlith::standin {

std::uint64_t Mix(std::uint64_t value) {
    // splitmix64's finaliser: every input bit reaches every output bit.
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

std::uint64_t Hash(std::string_view text, std::uint64_t salt) {
    std::uint64_t hash = 0xCBF29CE484222325ULL ^ Mix(salt);
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    return Mix(hash);
}

std::string WithThousandsSeparators(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string NormalizeKeyword(std::string_view keyword) {
    std::string out;
    bool pendingSpace = false;
    for (unsigned char c : keyword) {
        if (c <= ' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace)
            out.push_back(' ');
        pendingSpace = false;
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c));
    }
    return out;
}

namespace {

constexpr std::array<std::string_view, 32> Prefixes = {
    "best",      "cheap",   "buy",      "used",     "discount", "new",     "top",     "free",
    "online",    "custom",  "how to",   "where to", "cheapest", "womens",  "mens",    "kids",
    "wholesale", "vintage", "review",   "compare",  "local",    "quality", "premium", "affordable",
    "small",     "large",   "portable", "electric", "classic",  "modern",  "uk",      "professional"};

constexpr std::array<std::string_view, 48> Suffixes = {
    "reviews",       "for sale",  "prices",    "online",      "uk",         "store",     "shop",
    "deals",         "sale",      "review",    "ratings",     "guide",      "tips",      "set",
    "sets",          "brands",    "parts",     "accessories", "comparison", "discount",  "outlet",
    "forum",         "catalog",   "direct",    "wholesale",   "supplies",   "rental",    "repair",
    "2007",          "2008",      "australia", "canada",      "ebay",       "used",      "cheap",
    "for beginners", "for women", "for men",   "for kids",    "on sale",    "clearance", "manufacturers",
    "magazine",      "pictures",  "videos",    "information", "history",    "news"};

// A candidate phrase built from the keyword; index picks the shape and the words.
std::string Phrase(const std::string& keyword, std::size_t index) {
    const std::size_t p = Prefixes.size(), s = Suffixes.size();
    if (index < p)
        return std::string(Prefixes[index]) + " " + keyword;
    index -= p;
    if (index < s)
        return keyword + " " + std::string(Suffixes[index]);
    index -= s;
    return std::string(Prefixes[(index / s) % p]) + " " + keyword + " " + std::string(Suffixes[index % s]);
}

} // namespace

std::vector<Suggestion> SuggestionsFor(std::string_view seedText) {
    const std::string keyword = NormalizeKeyword(seedText);
    std::vector<Suggestion> list;
    if (keyword.empty())
        return list;
    const std::uint64_t h = Hash(keyword, 1);
    const std::size_t wanted = 20 + h % 81;

    // Pick distinct candidates in a repeatable order: the two-word shapes first, then combinations.
    const std::size_t simple = Prefixes.size() + Suffixes.size();
    const std::size_t total = simple + Prefixes.size() * Suffixes.size();
    std::set<std::string> taken{keyword};
    std::vector<std::string> phrases{keyword};
    std::uint64_t state = h;
    while (phrases.size() < wanted) {
        state = Mix(state);
        const std::size_t index = phrases.size() < wanted / 2 ? state % simple : state % total;
        std::string phrase = Phrase(keyword, index);
        if (taken.insert(phrase).second)
            phrases.push_back(std::move(phrase));
    }

    // Counts fall off from the keyword itself, each no larger than the one before.
    std::uint64_t count = 2000 + h % 90000;
    state = Mix(h ^ 0x5EED);
    for (auto& phrase : phrases) {
        list.push_back({std::move(phrase), count});
        state = Mix(state);
        const double keep = 0.70 + static_cast<double>(state % 29) / 100.0; // 0.70 .. 0.98
        count = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(static_cast<double>(count) * keep));
    }
    return list;
}

std::string SuggestionPage(std::string_view seedText) {
    const auto list = SuggestionsFor(seedText);
    const std::string shown = EscapeHtml(NormalizeKeyword(seedText));
    std::string page;
    page.reserve(512 + list.size() * 160);
    page += "<html>\n<head><title>Free Keyword Suggestion Tool</title></head>\n<body>\n";
    page += "<h1>Free Keyword Suggestion Tool</h1>\n";
    page += "<form action=\"/\" method=\"get\"><input type=\"text\" name=\"seed\" value=\"" + shown +
            "\"><input type=\"submit\" name=\"suggest\" value=\"Hit Me\"></form>\n";
    page += "<table class=\"suggestions\">\n";
    page += "<thead><tr><th>Searches</th><th>Keyword</th></tr></thead>\n";
    page += "<tfoot><tr><td colspan=\"2\">" + std::to_string(list.size()) + " suggestions for " + shown +
            "</td></tr></tfoot>\n";
    page += "<tbody>\n";
    for (const auto& s : list) {
        std::string link;
        for (char c : s.Keyword)
            link += c == ' ' ? std::string("+") : EscapeHtml(std::string_view(&c, 1));
        // No quoted attribute between the count and the link: the keyword is read from the
        // first ">" that follows the count.
        page += "<tr><td>" + WithThousandsSeparators(s.Count) + "</td><td><a href=\"/?seed=" + link +
                "&amp;adult_filter=remove_offensive&amp;suggest=Hit+Me\">" + EscapeHtml(s.Keyword) +
                "</a></td></tr>\n";
    }
    page += "</tbody>\n</table>\n</body>\n</html>\n";
    return page;
}

std::string ChallengePage(std::string_view keyword, std::string_view random, std::string_view seed,
                          std::string_view imageAddress) {
    // No src attribute may stand before the hidden inputs: the image is the first one after them.
    std::string page;
    page += "<html>\n<head><title>Free Keyword Suggestion Tool</title></head>\n<body>\n";
    page += "<h1>Free Keyword Suggestion Tool</h1>\n";
    page += "<p>Too many requests for &quot;" + EscapeHtml(NormalizeKeyword(keyword)) + "&quot;.</p>\n";
    page += "<form action=\"/keyword-suggestion-tool.html\" method=\"get\">\n";
    page += "<p>" + std::string(ChallengeSentence) + " below, then press Continue.</p>\n";
    page += "<input type=\"hidden\" name=\"random\" value=\"" + std::string(random) + "\">\n";
    page += "<input type=\"hidden\" name=\"seed\" value=\"" + std::string(seed) + "\">\n";
    page +=
        "<img src=\"" + EscapeHtml(imageAddress) + "\" width=\"200\" height=\"60\" alt=\"security image\">\n";
    page += "<input type=\"text\" name=\"password\" size=\"10\">\n";
    page += "<input type=\"submit\" value=\"Continue\">\n</form>\n</body>\n</html>\n";
    return page;
}

namespace {

struct Query {
    std::vector<std::string> Words;
    bool Phrase = false;
};

Query ReadQuery(std::string_view query) {
    Query q;
    q.Phrase = query.size() >= 2 && query.front() == '"' && query.back() == '"';
    std::string current;
    for (char c : query) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '"') {
            if (!current.empty())
                q.Words.push_back(std::move(current));
            current.clear();
            continue;
        }
        current.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    if (!current.empty())
        q.Words.push_back(std::move(current));
    return q;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

} // namespace

std::uint64_t ResultCount(Engine engine, std::string_view query) {
    const Query q = ReadQuery(query);
    if (q.Words.empty())
        return 0;
    const std::uint64_t h = Hash(Joined(q.Words), 2);
    std::uint64_t broad;
    if (q.Words.size() == 1)
        broad = 2'200'000'000ULL + h % 6'000'000'000ULL; // one word: beyond 32 bits
    else if (q.Words.size() == 2)
        broad = 1'000'000ULL + h % 400'000'000ULL;
    else
        broad = 10'000ULL + h % (60'000'000ULL / q.Words.size());

    // Each engine indexes a share of the web; Google's is the largest.
    const std::uint64_t share = engine == Engine::Google ? 100 : engine == Engine::Yahoo ? 55 : 12;
    broad = broad / 100 * share + (Mix(h + share) % 100);
    if (!q.Phrase)
        return broad;
    // The phrase matches a repeatable 1% to 30% of the pages holding all the words.
    const std::uint64_t percent = 1 + Mix(h ^ 0xF4A5E) % 30;
    return std::max<std::uint64_t>(1, broad / 100 * percent);
}

std::string ResultsPage(Engine engine, std::string_view query) {
    const std::uint64_t count = ResultCount(engine, query);
    const std::string shown = EscapeHtml(query);
    const std::string number = WithThousandsSeparators(count);
    std::string page = "<html>\n<head><title>" + shown + " - Search</title></head>\n<body>\n";
    switch (engine) {
    case Engine::Google:
        page += count == 0
                    ? "<p>Your search did not match any documents.</p>\n"
                    : "<table><tr><td><font size=-1>Results <b>1</b> - <b>10</b> of about <b>" + number +
                          "</b> for <b>" + shown + "</b>. (<b>0.21</b> seconds)</font></td></tr></table>\n";
        break;
    case Engine::Yahoo:
        page += count == 0 ? "<p>We did not find results for " + shown + ".</p>\n"
                           : "<div id=\"info\"><span class=\"infotext\">1 - 10 of " + number +
                                 " for <strong>" + shown + "</strong> - 0.12 sec.</span></div>\n";
        break;
    case Engine::Msn:
        page += count == 0 ? "<p>We found no results containing " + shown + ".</p>\n"
                           : "<div id=\"results_area\"><h5><span id=\"count\">Page 1 of " + number +
                                 " results</span></h5></div>\n";
        break;
    }
    for (int i = 1; count != 0 && i <= 10; ++i)
        page += "<div class=\"result\"><a href=\"http://www.example.com/" + std::to_string(i) + "\">" +
                shown + " result " + std::to_string(i) + "</a></div>\n";
    page += "</body>\n</html>\n";
    return page;
}

std::string UpdateDescription(std::string_view version) {
    return "[APPLICATION]\r\nName=Vorlith\r\nVersion=" + std::string(version) + "\r\n";
}

std::string HelpPage() {
    return "<html>\n<head><title>Vorlith help</title></head>\n<body>\n<h1>Vorlith help</h1>\n"
           "<p>Type a main keyword, press Gather Keywords, then Gather Data, then Save Results.</p>\n"
           "</body>\n</html>\n";
}

std::string AffiliatePage(std::string_view path) {
    return "<html>\n<head><title>Vorlith</title></head>\n<body>\n<h1>Vorlith</h1>\n"
           "<p>Earn money with Vorlith. Affiliate: " +
           EscapeHtml(path) + "</p>\n</body>\n</html>\n";
}

} // namespace vorlith::standin
