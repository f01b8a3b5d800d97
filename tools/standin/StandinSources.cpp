#include "StandinSources.h"

#include "StandinPages.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <vector>

namespace vorlith::standin {

namespace {

constexpr std::size_t SuggestionsPerAnswer = 10;

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            continue;
        out += c;
    }
    return out + "\"";
}

// Each shape answers a different slice of the keyword's suggestions, so that sources overlap in
// part, as real services do.
std::vector<std::string> Keywords(std::string_view query, std::size_t offset) {
    const std::vector<Suggestion> all = SuggestionsFor(query);
    std::vector<std::string> picked;
    for (std::size_t i = offset; i < all.size() && picked.size() < SuggestionsPerAnswer; ++i)
        picked.push_back(all[i].Keyword);
    return picked;
}

std::string JsonList(const std::vector<std::string>& keywords) {
    std::string out = "[";
    for (std::size_t i = 0; i < keywords.size(); ++i)
        out += (i ? "," : "") + JsonString(keywords[i]);
    return out + "]";
}

std::string Encoded(const char* charset, std::string_view utf8) {
    QStringEncoder encoder(charset);
    const QByteArray bytes = encoder.encode(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

SourceReply SourceAnswer(std::string_view shape, std::string_view query, std::string_view callback) {
    const std::string q(query);
    if (shape == "json") // Google's client=firefox, Bing's and Wikipedia's OpenSearch
        return {200, "application/json; charset=UTF-8", "[" + JsonString(q) + "," + JsonList(Keywords(q, 0)) + "]", {}};
    if (shape == "jsonp") { // YouTube: [["text",0,[512]],...] inside a callback
        std::string items;
        for (const std::string& keyword : Keywords(q, 3))
            items += (items.empty() ? "" : ",") + std::string("[") + JsonString(keyword) + ",0,[512,433]]";
        const std::string name = callback.empty() ? "window.google.ac.h" : std::string(callback);
        return {200, "text/javascript; charset=utf-8", name + "([" + JsonString(q) + ",[" + items + "],{\"k\":1}])", {}};
    }
    if (shape == "phrases") { // DuckDuckGo
        std::string out;
        for (const std::string& keyword : Keywords(q, 6))
            out += (out.empty() ? "" : ",") + std::string("{\"phrase\":") + JsonString(keyword) + "}";
        return {200, "application/json", "[" + out + "]", {}};
    }
    if (shape == "amazon") {
        std::string out;
        for (const std::string& keyword : Keywords(q, 1))
            out += (out.empty() ? "" : ",") + std::string("{\"type\":\"KEYWORD\",\"value\":") + JsonString(keyword) + "}";
        return {200, "application/json", "{\"alias\":\"aps\",\"prefix\":" + JsonString(q) + ",\"suggestions\":[" + out + "]}", {}};
    }
    if (shape == "yahoo") {
        std::string out;
        for (const std::string& keyword : Keywords(q, 2))
            out += (out.empty() ? "" : ",") + std::string("{\"k\":") + JsonString(keyword) + ",\"m\":0}";
        return {200, "application/json", "{\"q\":" + JsonString(q) + ",\"r\":[" + out + "]}", {}};
    }
    if (shape == "xml") { // Google's client=toolbar
        std::string out = "<?xml version=\"1.0\"?><toplevel>";
        for (const std::string& keyword : Keywords(q, 4))
            out += "<CompleteSuggestion><suggestion data=\"" + EscapeHtml(keyword) + "\"/></CompleteSuggestion>";
        out += "<CompleteSuggestion><suggestion data=\"" + EscapeHtml(q) + " &amp; more &#x263A;\"/></CompleteSuggestion>";
        return {200, "text/xml; charset=UTF-8", out + "</toplevel>", {}};
    }
    if (shape == "latin1")
        return {200, "application/json; charset=ISO-8859-1",
                Encoded("ISO-8859-1", "[" + JsonString(q) + ",[" + JsonString(q + " caf\u00e9") + "," +
                                          JsonString(q + " cr\u00e8me br\u00fbl\u00e9e") + "]]"),
                {}};
    if (shape == "cp1251")
        return {200, "application/json; charset=windows-1251",
                Encoded("windows-1251", "[" + JsonString(q) + ",[" + JsonString(q + " \u043c\u043e\u0441\u043a\u0432\u0430") + "]]"),
                {}};
    if (shape == "empty")
        return {200, "application/json", "[" + JsonString(q) + ",[]]", {}};
    if (shape == "check")
        return {200, "text/html",
                "<html><body><h1>Sorry...</h1><p>Our systems have detected unusual traffic from your computer "
                "network. Please solve the captcha below.</p></body></html>\n",
                {}};
    if (shape == "busy")
        return {429, "text/html", "<html><body><h1>429 Too Many Requests</h1></body></html>\n", "1"};
    if (shape == "count")
        return {200, "text/html; charset=UTF-8",
                "<html><body><div id=\"result-stats\">About " +
                    WithThousandsSeparators(ResultCount(Engine::Google, q)) + " results</div></body></html>\n",
                {}};
    return {404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>\n", {}};
}

} // namespace vorlith::standin
