#include "text/UUtils.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vorlith {
namespace {

using Byte = unsigned char;
constexpr std::size_t npos = std::string_view::npos;

// Only the 26 ASCII letters fold; bytes above 127 match only themselves.
constexpr Byte FoldByte(Byte c) {
    return c >= 'A' && c <= 'Z' ? Byte(c + 32) : c;
}
constexpr bool IsAsciiLetter(Byte c) {
    return FoldByte(c) >= 'a' && FoldByte(c) <= 'z';
}

// How common a byte is in HTML pages (higher = more common): the search anchors on the rarest byte
// of the needle, so that memchr stops at as few false candidates as possible.
constexpr int Commonness(Byte c, bool folded) {
    if (IsAsciiLetter(c))
        return folded ? 230 : (c >= 'a' ? 220 : 120);
    switch (c) {
    case ' ':
        return 250;
    case '<':
    case '>':
        return 200;
    case '/':
    case '=':
    case '"':
        return 190;
    case '\n':
    case '\r':
    case '\t':
        return 150;
    case '.':
    case ',':
    case '-':
    case ':':
    case ';':
    case '&':
    case '#':
    case '\'':
    case '(':
    case ')':
    case '_':
        return 130;
    default:
        return c >= '0' && c <= '9' ? 160 : 60;
    }
}

// Substring search in linear time: memchr on the needle's rarest byte (both cases of it when folding
// a letter), each candidate checked in full; when the checks cost more than the scan, the search
// goes on with Knuth-Morris-Pratt, so adversarial texts stay linear too.
template <bool kFold> class Searcher {
public:
    explicit Searcher(std::string_view needle) : needle_(needle) {
        if constexpr (kFold) {
            for (char& c : needle_)
                c = char(FoldByte(Byte(c)));
        }
        int best = 1000;
        for (std::size_t i = 0; i < needle_.size(); ++i) {
            const int rank = Commonness(Byte(needle_[i]), kFold);
            if (rank < best) {
                best = rank;
                anchor_ = i;
            }
        }
        if (!needle_.empty()) {
            anchorLo_ = Byte(needle_[anchor_]);
            anchorHi_ = kFold && IsAsciiLetter(anchorLo_) ? Byte(anchorLo_ - 32) : anchorLo_;
        }
    }

    std::size_t size() const { return needle_.size(); }

    // First occurrence starting at or after `from`, or npos. An empty needle is never found.
    std::size_t Find(std::string_view hay, std::size_t from = 0) const {
        const std::size_t m = needle_.size();
        const std::size_t n = hay.size();
        if (m == 0 || from > n || n - from < m)
            return npos;
        const Byte* h = reinterpret_cast<const Byte*>(hay.data());
        const Byte* end = h + (n - m) + anchor_ + 1; // one past the last anchor position
        auto scan = [end](const Byte* at, Byte b) {
            const void* p = std::memchr(at, b, std::size_t(end - at));
            return p ? static_cast<const Byte*>(p) : end;
        };
        std::size_t work = 0;
        const Byte* lo = scan(h + from + anchor_, anchorLo_);
        const Byte* hi = anchorHi_ == anchorLo_ ? end : scan(h + from + anchor_, anchorHi_);
        while (true) {
            const Byte* p = lo < hi ? lo : hi;
            if (p == end)
                return npos;
            const std::size_t start = std::size_t(p - h) - anchor_;
            if (Matches(h + start, work))
                return start;
            if (work > 2 * (start - from) + 64)
                return FindKmp(hay, start + 1);
            if (p == lo)
                lo = scan(p + 1, anchorLo_);
            else
                hi = scan(p + 1, anchorHi_);
        }
    }

private:
    bool Matches(const Byte* at, std::size_t& work) const {
        const Byte* needle = reinterpret_cast<const Byte*>(needle_.data());
        const std::size_t m = needle_.size();
        if constexpr (kFold) {
            for (std::size_t i = 0; i < m; ++i) {
                if (FoldByte(at[i]) != needle[i]) {
                    work += i + 1;
                    return false;
                }
            }
            return true;
        } else {
            ++work;
            if (at[0] != needle[0] || at[m - 1] != needle[m - 1])
                return false;
            work += m;
            return std::memcmp(at, needle, m) == 0;
        }
    }

    std::size_t FindKmp(std::string_view hay, std::size_t from) const {
        const std::size_t m = needle_.size();
        if (failure_.empty()) {
            failure_.assign(m + 1, 0);
            std::uint32_t k = 0;
            for (std::size_t i = 1; i < m; ++i) {
                while (k > 0 && needle_[i] != needle_[k])
                    k = failure_[k];
                if (needle_[i] == needle_[k])
                    ++k;
                failure_[i + 1] = k;
            }
        }
        std::size_t k = 0;
        for (std::size_t i = from; i < hay.size(); ++i) {
            const char c = kFold ? char(FoldByte(Byte(hay[i]))) : hay[i];
            while (k > 0 && c != needle_[k])
                k = failure_[k];
            if (c == needle_[k] && ++k == m)
                return i + 1 - m;
        }
        return npos;
    }

    std::string needle_;
    std::size_t anchor_ = 0;
    Byte anchorLo_ = 0;
    Byte anchorHi_ = 0;
    mutable std::vector<std::uint32_t> failure_; // built only when the fast scan gives up
};

// Writes into `out` the result of "replace the first occurrence, search again from the start" and
// returns true, or returns false (leaving `out` alone) when the pattern does not occur. One pass: after
// a replacement at p no occurrence can start before p - len(pattern) + 1, so only the bytes that the
// replacement and its neighbours form are checked again before the fast search resumes.
bool ReplaceInto(std::string_view source, const Searcher<false>& searcher, std::string_view pattern,
                 std::string_view replacement, std::string& out) {
    std::size_t hit = searcher.Find(source);
    if (hit == npos)
        return false;
    const std::size_t m = pattern.size();
    out.clear();
    out.reserve(source.size() + (replacement.size() > m ? replacement.size() - m : 0));

    // A replacement holding its pattern would be found again forever: replace each occurrence once.
    const bool rescan = replacement.find(pattern) == npos;
    // A replacement no shorter than its pattern can re-form it without end (or exponentially often).
    const bool mayGrow = rescan && replacement.size() >= m;
    const std::size_t limit = 8 * (source.size() + 1) + 4096;
    std::size_t replaced = 0;

    const Byte last = Byte(pattern.back());
    std::vector<std::string_view> pending; // replacement texts still to be appended, innermost last
    std::size_t pos = 0;
    while (hit != npos) {
        out.append(source.data() + pos, hit - pos);
        pos = hit + m;
        if (!rescan) {
            out.append(replacement);
            hit = searcher.Find(source, pos);
            continue;
        }
        if (mayGrow && ++replaced > limit)
            throw std::length_error("ReplaceAll: the replacement keeps forming its pattern again");
        pending.push_back(replacement);
        while (true) {
            // Bytes of replacements: an occurrence may end in any of them.
            while (!pending.empty()) {
                std::string_view& top = pending.back();
                if (top.empty()) {
                    pending.pop_back();
                    continue;
                }
                out.push_back(top.front());
                top.remove_prefix(1);
                if (Byte(out.back()) == last && out.size() >= m &&
                    std::memcmp(out.data() + out.size() - m, pattern.data(), m) == 0) {
                    out.resize(out.size() - m);
                    if (mayGrow && ++replaced > limit)
                        throw std::length_error(
                            "ReplaceAll: the replacement keeps forming its pattern again");
                    pending.push_back(replacement);
                }
            }
            // An occurrence that starts in the output and ends in the unread source, leftmost first.
            std::size_t reach = 0;
            for (std::size_t k = 1; k < m && pos + k <= source.size(); ++k) {
                const std::size_t before = m - k;
                if (before <= out.size() && Byte(source[pos + k - 1]) == last &&
                    std::memcmp(out.data() + out.size() - before, pattern.data(), before) == 0 &&
                    std::memcmp(source.data() + pos, pattern.data() + before, k) == 0) {
                    reach = k;
                    break;
                }
            }
            if (reach == 0)
                break;
            out.resize(out.size() - (m - reach));
            pos += reach;
            if (mayGrow && ++replaced > limit)
                throw std::length_error("ReplaceAll: the replacement keeps forming its pattern again");
            pending.push_back(replacement);
        }
        hit = searcher.Find(source, pos);
    }
    out.append(source.data() + pos, source.size() - pos);
    return true;
}

struct CleanPair {
    std::string_view pattern;
    std::string_view replacement;
};

// The order matters: each pair works on the result of the ones before it. "<BR>" comes twice: the
// second time it catches the ones that the removals between them have formed.
constexpr std::array<CleanPair, 50> kCleanPairs{{
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
}};

} // namespace

std::string_view ExtractBetween(std::string_view& buffer, std::string_view first, std::string_view second,
                                int extraOffset) {
    (void)extraOffset; // no caller passes a non-zero offset, so it has no defined effect: ignored
    const std::size_t start = Searcher<true>(first).Find(buffer);
    if (start == npos)
        return {};
    buffer.remove_prefix(start + first.size());
    const std::size_t stop = Searcher<true>(second).Find(buffer);
    if (stop == npos)
        return {};
    const std::string_view cut = buffer.substr(0, stop);
    buffer.remove_prefix(stop);
    return cut;
}

std::string ReplaceAll(std::string_view source, std::string_view pattern, std::string_view replacement) {
    std::string out;
    if (!ReplaceInto(source, Searcher<false>(pattern), pattern, replacement, out))
        out.assign(source);
    return out;
}

std::string CleanHtml(std::string_view text) {
    std::string current(text);
    std::string next;
    for (const CleanPair& pair : kCleanPairs) {
        if (ReplaceInto(current, Searcher<false>(pair.pattern), pair.pattern, pair.replacement, next))
            std::swap(current, next);
    }
    std::size_t begin = 0;
    std::size_t end = current.size();
    while (begin < end && Byte(current[begin]) <= 32)
        ++begin;
    while (end > begin && Byte(current[end - 1]) <= 32)
        --end;
    current.erase(end);
    current.erase(0, begin);
    return current;
}

} // namespace vorlith
