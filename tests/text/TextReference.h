#pragma once
// The text operations written the plain, slow way: erase from the front, search again from the start
// after every replacement. The fast versions must give exactly the same results. Shared by the tests,
// the benchmarks and the fuzz target.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlith::reference {

inline std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

inline std::string ExtractBetween(std::string& buffer, const std::string& first, const std::string& second) {
    if (first.empty())
        return "";
    const std::size_t start = Lower(buffer).find(Lower(first));
    if (start == std::string::npos)
        return "";
    buffer.erase(0, start + first.size());
    if (second.empty())
        return "";
    const std::size_t stop = Lower(buffer).find(Lower(second));
    if (stop == std::string::npos)
        return "";
    std::string cut = buffer.substr(0, stop);
    buffer.erase(0, stop);
    return cut;
}

// The literal loop. Gives up (nullopt) after `maxSteps` replacements.
inline std::optional<std::string> ReplaceAllLiteral(std::string text, const std::string& pattern,
                                                    const std::string& replacement, std::size_t maxSteps) {
    if (pattern.empty())
        return text;
    for (std::size_t steps = 0;; ++steps) {
        const std::size_t at = text.find(pattern);
        if (at == std::string::npos)
            return text;
        if (steps == maxSteps)
            return std::nullopt;
        text.replace(at, pattern.size(), replacement);
    }
}

// What ReplaceAll does when the replacement contains the pattern: every occurrence once.
inline std::string ReplaceEachOnce(const std::string& text, const std::string& pattern,
                                   const std::string& replacement) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t at; (at = text.find(pattern, pos)) != std::string::npos; pos = at + pattern.size())
        out += text.substr(pos, at - pos) + replacement;
    return out + text.substr(pos);
}

// Expected ReplaceAll result; nullopt where ReplaceAll must refuse (a replacement no shorter than its
// pattern that re-forms it more than 8 * (size + 1) + 4096 times).
inline std::optional<std::string> ReplaceAll(const std::string& text, const std::string& pattern,
                                             const std::string& replacement) {
    if (pattern.empty())
        return text;
    if (replacement.find(pattern) != std::string::npos)
        return ReplaceEachOnce(text, pattern, replacement);
    return ReplaceAllLiteral(text, pattern, replacement, 8 * (text.size() + 1) + 4096);
}

inline const std::vector<std::pair<std::string, std::string>>& CleanPairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs{
        {"&amp;", "&"},       {"&nbsp;", " "},  {"\t", " "},      {"<wbr>", ""},      {"&#039;", "'"},
        {"Tel : ", ""},       {"Fax : ", ""},   {"<strong>", ""}, {"</strong>", ""},  {"<em>", ""},
        {"<hr>", ""},         {"<h3>", ""},     {"</h3>", ""},    {"<H3>", ""},       {"</H3>", ""},
        {"</em>", ""},        {"<u>", ""},      {"</u>", ""},     {"</INVALID>", ""}, {"<br>", " "},
        {"<BR>", " "},        {"<tr>", ""},     {"</tr>", ""},    {"<td>", ""},       {"</td>", ""},
        {"<table>", ""},      {"</table>", ""}, {"</font>", ""},  {"<b>", ""},        {"<i>", ""},
        {"<blockquote>", ""}, {"</p>", ""},     {"<p>", " "},     {"<P>", " "},       {"</P>", ""},
        {"</b>", ""},         {"</i>", ""},     {"</th>", ""},    {"<br />", ""},     {"</FONT>", ""},
        {"</TD>", ""},        {"<TD>", ""},     {"<B>", ""},      {"</B>", ""},       {"<TR>", ""},
        {"<BR>", ""},         {"</TR>", ""},    {"\"", ""},       {"\n", " "},        {"\r", " "},
    };
    return pairs;
}

inline std::string CleanHtml(const std::string& text) {
    std::string out = text;
    for (const auto& [pattern, replacement] : CleanPairs())
        out = *ReplaceAllLiteral(out, pattern, replacement, std::string::npos);
    while (!out.empty() && static_cast<unsigned char>(out.front()) <= 32)
        out.erase(0, 1);
    while (!out.empty() && static_cast<unsigned char>(out.back()) <= 32)
        out.pop_back();
    return out;
}

} // namespace vorlith::reference
