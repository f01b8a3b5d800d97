#include "text/UUtils.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

    // First occurrence starting at or after `from`, or npos. An empty needle is never found.
    std::size_t Find(std::string_view hay, std::size_t from = 0) const {
        const std::size_t m = needle_.size();
        const std::size_t n = hay.size();
        if (m == 0 || from > n || n - from < m)
            return npos;
        const Byte* h = reinterpret_cast<const Byte*>(hay.data());
#if defined(__SSE2__)
        if (kFold && m >= 2)
            return FindWide(hay, from);
#endif
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
#if defined(__SSE2__)
    // Sixteen starts at a time, inline: cut markers are mostly found a few bytes on, where a call to
    // memchr per candidate costs more than the scan. A start whose first and last bytes fit (in either
    // case) is checked in full.
    std::size_t FindWide(std::string_view hay, std::size_t from) const {
        const std::size_t m = needle_.size();
        const std::size_t n = hay.size();
        const Byte* h = reinterpret_cast<const Byte*>(hay.data());
        const auto both = [](Byte c) {
            return std::pair{_mm_set1_epi8(char(c)), _mm_set1_epi8(char(IsAsciiLetter(c) ? c - 32 : c))};
        };
        const auto [firstLo, firstHi] = both(Byte(needle_.front()));
        const auto [lastLo, lastHi] = both(Byte(needle_.back()));
        std::size_t work = 0;
        std::size_t i = from;
        for (; i + m - 1 + 16 <= n; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1));
            const __m128i fit = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(a, firstLo), _mm_cmpeq_epi8(a, firstHi)),
                                              _mm_or_si128(_mm_cmpeq_epi8(b, lastLo), _mm_cmpeq_epi8(b, lastHi)));
            for (unsigned mask = unsigned(_mm_movemask_epi8(fit)); mask != 0; mask &= mask - 1) {
                const std::size_t start = i + std::size_t(__builtin_ctz(mask));
                if (Matches(h + start, work))
                    return start;
            }
            if (work > 2 * (i - from) + 64)
                return FindKmp(hay, i + 16);
        }
        for (; i + m <= n; ++i)
            if (Matches(h + i, work))
                return i;
        return npos;
    }
#endif

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

constexpr std::size_t kMaxPatternLength = 12; // "<blockquote>"

// The fixed list compiled once: the patterns by their first bytes for the first scan and the probes,
// and for every pair of adjacent bytes (and every one-byte pattern) the last pair index whose
// pattern holds it. A replacement can only form a new occurrence of pattern j where its new
// neighbours are two adjacent bytes of pattern j, so most replacement sites need one table lookup.
struct CleanTables {
    // A pattern as two masked 8-byte words, compared against 16 bytes of (padded) text at once.
    struct Packed {
        std::uint64_t lo = 0, hi = 0, maskLo = 0, maskHi = 0;
    };
    // Patterns of three bytes or more, by their first three bytes.
    struct Slot {
        std::uint32_t key = 0; // 0: empty (no pattern starts with a zero byte)
        std::uint8_t count = 0;
        std::array<std::uint8_t, 6> pairs{};
        std::array<std::uint8_t, 6> lengths{};
    };
    std::array<Packed, kCleanPairs.size()> packed{};
    std::array<Slot, 256> slots{};
    std::array<std::array<std::uint8_t, 2>, 256> singles{}; // one-byte patterns: 1 + pair index
    std::array<bool, 256> isFirst{};
    std::array<std::vector<std::uint8_t>, 256> byFirst{};
    std::array<std::uint8_t, 65536> lastWithBigram{}; // 1 + last pair index, 0 for none
    std::array<std::uint8_t, 256> lastWithSingle{};
    std::array<bool, 256> inPattern{};
    std::vector<Byte> firstBytes;
    // Per pair, whether the one-pass path must leave it to the engine: an occurrence may overlap
    // another one, or the replacement is longer than a byte or is itself a pattern.
    std::array<bool, kCleanPairs.size()> notOnePass{};

    static std::uint32_t Key(const Byte* at) {
        std::uint32_t key;
        std::memcpy(&key, at, 4);
        return std::endian::native == std::endian::little ? key & 0xffffffu : key >> 8;
    }
    static std::size_t SlotOf(std::uint32_t key) { return (key * 0x9E3779B1u) >> 24; }

    // The one-pass scan's lookup: a single probe of a table hashed without collisions, keyed by a
    // pattern's one byte, its three (the third is '>': "<b>") or its first four.
    struct alignas(64) QuickEntry { // a cache line each, found by a shift
        Packed packed{0, 0, 0xff, 0}; // empty: matches nothing, as no pattern starts with a zero byte
        std::uint8_t length = 0;
        std::uint8_t replacement = 0;
        std::uint8_t replacementLength = 0;
        bool notOnePass = false;
    };
    std::array<QuickEntry, 256> quick{};
    std::array<std::uint32_t, 256> keyMask{};   // one byte for the one-byte patterns, else four
    std::array<std::uint32_t, 256> thirdMask{}; // three bytes when the third is '>'
    std::uint32_t quickMultiplier = 0x9E3779B1u;

    std::uint32_t QuickKey(const Byte* at) const {
        const std::uint32_t key = at[0] | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
                                  std::uint32_t(at[3]) << 24;
        return key & keyMask[at[0]] & thirdMask[at[2]];
    }
    const QuickEntry& Quick(const Byte* at) const {
        return quick[(QuickKey(at) * quickMultiplier) >> 24];
    }

    const Slot* Find(std::uint32_t key) const {
        for (std::size_t i = SlotOf(key);; i = (i + 1) % slots.size()) {
            if (slots[i].key == key)
                return &slots[i];
            if (slots[i].key == 0)
                return nullptr;
        }
    }

    CleanTables() {
        for (std::size_t j = 0; j < kCleanPairs.size(); ++j) {
            const std::string_view p = kCleanPairs[j].pattern;
            // Patterns here have one byte or three to kMaxPatternLength bytes, never two.
            std::array<Byte, 16> bytes{};
            std::array<Byte, 16> mask{};
            for (std::size_t i = 0; i < p.size(); ++i) {
                bytes[i] = Byte(p[i]);
                mask[i] = 0xff;
            }
            std::memcpy(&packed[j].lo, bytes.data(), 8);
            std::memcpy(&packed[j].hi, bytes.data() + 8, 8);
            std::memcpy(&packed[j].maskLo, mask.data(), 8);
            std::memcpy(&packed[j].maskHi, mask.data() + 8, 8);
            if (p.size() == 1) {
                auto& single = singles[Byte(p[0])];
                single[single[0] ? 1 : 0] = std::uint8_t(j + 1);
            } else {
                const std::uint32_t key = Key(bytes.data());
                std::size_t i = SlotOf(key);
                while (slots[i].key != 0 && slots[i].key != key)
                    i = (i + 1) % slots.size();
                slots[i].key = key;
                slots[i].lengths.at(slots[i].count) = std::uint8_t(p.size());
                slots[i].pairs.at(slots[i].count++) = std::uint8_t(j);
            }
            if (!isFirst[Byte(p[0])])
                firstBytes.push_back(Byte(p[0]));
            isFirst[Byte(p[0])] = true;
            byFirst[Byte(p[0])].push_back(std::uint8_t(j));
            for (const char c : p)
                inPattern[Byte(c)] = true;
            if (p.size() == 1)
                lastWithSingle[Byte(p[0])] = std::uint8_t(j + 1);
            for (std::size_t i = 0; i + 1 < p.size(); ++i)
                lastWithBigram[Byte(p[i]) * 256u + Byte(p[i + 1])] = std::uint8_t(j + 1);
            if (kCleanPairs[j].replacement.size() > 1)
                notOnePass[j] = true;
        }
        for (std::size_t j = 0; j < kCleanPairs.size(); ++j) {
            const std::string_view r = kCleanPairs[j].replacement;
            if (!r.empty() && (singles[Byte(r[0])][0] != 0))
                notOnePass[j] = true;
            const std::string_view p = kCleanPairs[j].pattern;
            for (std::size_t i = 0; i < kCleanPairs.size(); ++i) {
                const std::string_view q = kCleanPairs[i].pattern;
                // The same text listed twice: the first listing takes every original occurrence.
                for (std::size_t o = p == q ? 1 : 0; o < p.size(); ++o) {
                    const std::size_t length = std::min(p.size() - o, q.size());
                    if (p.substr(o, length) == q.substr(0, length))
                        notOnePass[j] = notOnePass[i] = true;
                }
            }
        }
        BuildQuick();
    }

    void BuildQuick() {
        for (std::size_t b = 0; b < 256; ++b)
            keyMask[b] = singles[b][0] ? 0xffu : 0xffffffffu;
        for (std::size_t b = 0; b < 256; ++b)
            thirdMask[b] = b == '>' ? 0xffffffu : 0xffffffffu;
        std::array<std::uint32_t, kCleanPairs.size()> keys{};
        for (std::size_t j = 0; j < kCleanPairs.size(); ++j) {
            const std::string_view p = kCleanPairs[j].pattern;
            std::array<Byte, 4> head{};
            std::memcpy(head.data(), p.data(), std::min<std::size_t>(4, p.size()));
            keys[j] = QuickKey(head.data());
            // The key must lie within the pattern and name it alone.
            const std::size_t keyLength = singles[head[0]][0] ? 1 : head[2] == '>' ? 3 : 4;
            if (keyLength > p.size())
                throw std::logic_error("CleanHtml: a pattern shorter than its key");
            for (std::size_t i = 0; i < j; ++i)
                if (keys[i] == keys[j] && kCleanPairs[i].pattern != p)
                    throw std::logic_error("CleanHtml: two patterns under one key");
        }
        for (;; quickMultiplier += 2) {
            quick.fill({});
            std::array<std::uint32_t, 256> owner{};
            bool clash = false;
            for (std::size_t j = 0; j < kCleanPairs.size() && !clash; ++j) {
                const std::size_t slot = (keys[j] * quickMultiplier) >> 24;
                if (owner[slot] != 0) {
                    // The same text listed again keeps its first listing.
                    clash = keys[owner[slot] - 1] != keys[j];
                    continue;
                }
                owner[slot] = std::uint32_t(j + 1);
                const std::string_view r = kCleanPairs[j].replacement;
                quick[slot] = {packed[j], std::uint8_t(kCleanPairs[j].pattern.size()),
                               Byte(r.empty() ? 0 : r[0]), std::uint8_t(r.size()), notOnePass[j]};
            }
            if (!clash)
                return;
        }
    }
};

bool PackedEquals(const Byte* at, const CleanTables::Packed& p) {
    std::uint64_t lo;
    std::uint64_t hi;
    std::memcpy(&lo, at, 8);
    std::memcpy(&hi, at + 8, 8);
    return (((lo ^ p.lo) & p.maskLo) | ((hi ^ p.hi) & p.maskHi)) == 0;
}

const CleanTables& Tables() {
    static const CleanTables tables;
    return tables;
}

// The usual case in one pass: every pattern is replaced where the text has it. No two patterns
// overlap or contain one another (else notOnePass), so until something new forms, every stage of the
// ordered passes holds the text's bytes and replacement bytes only, in the order this result has them:
// anything formed at any stage is still in this result. So a result holding no pattern is exactly what
// the ordered passes give; otherwise the caller lets CleanEngine redo the block.
class OnePassCleaner {
public:
    // `textEnd` ends the whole text, which the blocks are cut from: reads may run ahead into it.
    OnePassCleaner(const CleanTables& tables, const char* textEnd)
        : t_(tables), textEnd_(reinterpret_cast<const Byte*>(textEnd)) {
#if defined(__SSE2__)
        for (std::size_t r = 0; r < 8; ++r)
            roots_[r] = _mm_set1_epi8(char(t_.firstBytes[r % t_.firstBytes.size()]));
#endif
    }

    // Appends the cleaned block to `out`; false (with `out` as it was) when the block needs the engine.
    bool Clean(std::string_view block, std::string& out) {
        const Byte* const text = reinterpret_cast<const Byte*>(block.data());
        const std::size_t n = block.size();
        const std::size_t base = out.size();
        out.resize(base + n + kChunk + 16); // the result is never longer; room for wide reads and stores
        Byte* const begin = reinterpret_cast<Byte*>(out.data()) + base;
        Byte* w = begin;
        std::size_t i = 0; // the first byte of the text not yet written or replaced
        std::array<Byte, kChunk + 32> pad;
        for (std::size_t c = 0; c < n; c += kChunk) {
            // Identifying a pattern reads up to 16 bytes from a hit; near the end, from a padded copy.
            const Byte* chunk = text + c;
            if (std::size_t(textEnd_ - chunk) < kChunk + 16) {
                pad.fill(0);
                std::memcpy(pad.data(), chunk, std::size_t(textEnd_ - chunk));
                chunk = pad.data();
            }
            std::uint64_t hits = FirstBytes(chunk);
            if (n - c < kChunk)
                hits &= (std::uint64_t(1) << (n - c)) - 1;
            // No occurrence starts inside another one (else notOnePass), so a hit inside one just
            // fails to match. Nothing here waits on the hit before, and a miss takes no branch.
            bool stuck = false;
            for (; hits != 0; hits &= hits - 1) {
                const std::size_t o = std::size_t(__builtin_ctzll(hits));
                const CleanTables::QuickEntry& e = t_.Quick(chunk + o);
                const bool found = PackedEquals(chunk + o, e.packed);
                stuck |= found & e.notOnePass;
                const bool matched = found & (c + o >= i);
                const std::size_t run = matched ? c + o - i : 0;
                Copy(w, text + i, run);
                w += run;
                const std::size_t replaced = matched ? e.replacementLength : 0;
                *w = e.replacement;
                w += replaced;
                i = matched ? c + o + e.length : i;
            }
            if (stuck)
                return GiveUp(out, base);
        }
        if (i < n) {
            std::memcpy(w, text + i, n - i);
            w += n - i;
        }
        if (Formed(begin, w))
            return GiveUp(out, base);
        out.resize(base + std::size_t(w - begin));
        return true;
    }

private:
    static bool GiveUp(std::string& out, std::size_t base) {
        out.resize(base);
        return false;
    }

    // Whether the result holds a pattern.
    bool Formed(Byte* begin, Byte* end) const {
        std::memset(end, 0, kChunk + 16); // the room behind: hits are sought 64 bytes at a time
        const std::size_t length = std::size_t(end - begin);
        for (std::size_t c = 0; c < length; c += kChunk)
            for (std::uint64_t hits = FirstBytes(begin + c); hits != 0; hits &= hits - 1) {
                const Byte* at = begin + c + std::size_t(__builtin_ctzll(hits));
                if (at < end && PackedEquals(at, t_.Quick(at).packed))
                    return true;
            }
        return false;
    }

    // Short runs are the rule between tags: one 16-byte copy into the room behind when the text
    // has 16 bytes left.
    void Copy(Byte* w, const Byte* from, std::size_t count) const {
        if (count <= 16 && textEnd_ - from >= 16)
            std::memcpy(w, from, 16);
        else
            std::memcpy(w, from, count);
    }

    // The bytes of a chunk that start a pattern, as bits. A long chunk leaves the loop over its hits
    // less often.
    std::uint64_t FirstBytes(const Byte* chunk) const {
#if defined(__SSE2__)
        if (t_.firstBytes.size() <= 8) {
            std::uint64_t all = 0;
            for (std::size_t part = 0; part < kChunk; part += 16) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + part));
                __m128i hits = _mm_cmpeq_epi8(block, roots_[0]);
                for (std::size_t r = 1; r < 8; ++r)
                    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, roots_[r]));
                all |= std::uint64_t(unsigned(_mm_movemask_epi8(hits))) << part;
            }
            return all;
        }
#endif
        std::uint64_t hits = 0;
        for (std::size_t b = 0; b < kChunk; ++b)
            hits |= std::uint64_t(t_.isFirst[chunk[b]]) << b;
        return hits;
    }

    static constexpr std::size_t kChunk = 64;

    const CleanTables& t_;
    const Byte* textEnd_;
#if defined(__SSE2__)
    __m128i roots_[8];
#endif
};

// Runs the 50 ordered replacements of the list as if each were a ReplaceAll over the whole text, but
// without copying or rescanning it: the text is edited in place (every replacement is at most one
// byte, so it never grows), removed bytes are marked dead and skipped by runs, and each pass visits
// only the places where its pattern stood in the original text or was formed by an earlier edit.
class CleanEngine {
public:
    CleanEngine() : tables_(Tables()) {}

    // Appends the cleaned block to `out`. The engine's buffers are kept for the next block.
    void Clean(std::string_view block, std::string& out) {
        buf_.assign(block);
        buf_.append(16, '\0'); // room for 16-byte loads at any position of the block
        n_ = block.size();
        dead_.assign(n_ + 16, 0); // padded like buf_
        if (runEnd_.size() < n_) {
            runEnd_.resize(n_);
            runStart_.resize(n_);
        }
        FindOriginalOccurrences();
        for (std::size_t k = 0; k < kCleanPairs.size(); ++k)
            RunPass(k);
        const std::size_t base = out.size();
        out.resize(base + n_);
        char* w = out.data() + base;
        for (std::size_t i = 0; i < n_;) {
            if (dead_[i]) {
                i = runEnd_[i];
                continue;
            }
            const std::size_t stop = NextDead(i);
            std::memcpy(w, buf_.data() + i, stop - i);
            w += stop - i;
            i = stop;
        }
        out.resize(std::size_t(w - out.data()));
    }

    // Gives back the memory of an unusually long block (a text without any byte outside the patterns).
    void ReleaseIfLarge() {
        if (buf_.capacity() <= 4 * 64 * 1024)
            return;
        std::string().swap(buf_);
        std::vector<std::uint8_t>().swap(dead_);
        std::vector<std::uint32_t>().swap(runEnd_);
        std::vector<std::uint32_t>().swap(runStart_);
        std::vector<std::pair<std::uint8_t, std::uint32_t>>().swap(found_);
        std::vector<std::uint32_t>().swap(original_);
    }

private:
    using Positions = std::array<std::size_t, kMaxPatternLength>;

    // Notes every pattern that starts at `i`.
    void NoteOccurrencesAt(std::size_t i) {
        const Byte* text = reinterpret_cast<const Byte*>(buf_.data());
        const auto& singles = tables_.singles[text[i]];
        if (singles[0]) {
            found_[foundCount_++] = {std::uint8_t(singles[0] - 1), std::uint32_t(i)};
            if (singles[1])
                found_[foundCount_++] = {std::uint8_t(singles[1] - 1), std::uint32_t(i)};
        }
        const CleanTables::Slot* slot = tables_.Find(CleanTables::Key(text + i));
        if (!slot)
            return;
        const std::size_t room = n_ - i;
        for (std::size_t c = 0; c < slot->count; ++c) {
            const std::uint8_t j = slot->pairs[c];
            if (slot->lengths[c] <= room && PackedEquals(text + i, tables_.packed[j]))
                found_[foundCount_++] = {j, std::uint32_t(i)};
        }
    }

    void FindOriginalOccurrences() {
        foundCount_ = 0;
        const Byte* text = reinterpret_cast<const Byte*>(buf_.data());
        const std::size_t n = n_;
        const auto reserve = [this] {
            if (found_.size() < foundCount_ + 2 * kMaxPatternLength)
                found_.resize(2 * found_.size() + 4 * kMaxPatternLength);
        };
        std::size_t i = 0;
#if defined(__SSE2__)
        // Sixteen bytes at a time: only the bytes that start a pattern are looked at.
        if (tables_.firstBytes.size() <= 8) {
            __m128i roots[8];
            for (std::size_t r = 0; r < 8; ++r)
                roots[r] = _mm_set1_epi8(char(tables_.firstBytes[r % tables_.firstBytes.size()]));
            for (; i + 16 <= n; i += 16) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
                __m128i hits = _mm_cmpeq_epi8(block, roots[0]);
                for (std::size_t r = 1; r < 8; ++r)
                    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, roots[r]));
                for (unsigned mask = unsigned(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1) {
                    reserve();
                    NoteOccurrencesAt(i + std::size_t(__builtin_ctz(mask)));
                }
            }
        }
#endif
        for (; i < n; ++i) {
            if (tables_.isFirst[text[i]]) {
                reserve();
                NoteOccurrencesAt(i);
            }
        }
        const auto found = std::span(found_.data(), foundCount_);
        // Group by pair, keeping each group in text order.
        std::array<std::uint32_t, kCleanPairs.size() + 1> start{};
        for (const auto& [j, pos] : found)
            ++start[j + 1u];
        for (std::size_t j = 0; j < kCleanPairs.size(); ++j)
            start[j + 1] += start[j];
        original_.resize(found.size());
        originalStart_ = start;
        for (const auto& [j, pos] : found)
            original_[start[j]++] = pos;
    }

    // The first dead byte at or after `i`, or n_.
    std::size_t NextDead(std::size_t i) const {
#if defined(__SSE2__)
        // Alive runs are mostly short words: look at 16 bytes at a time before calling memchr.
        const __m128i zero = _mm_setzero_si128();
        for (int round = 0; round < 4 && i < n_; ++round, i += 16) {
            const __m128i flags = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dead_.data() + i));
            const unsigned dead = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(flags, zero))) ^ 0xffffu;
            if (dead != 0)
                return std::min(n_, i + std::size_t(__builtin_ctz(dead)));
        }
        if (i >= n_)
            return n_;
#endif
        const void* next = std::memchr(dead_.data() + i, 1, n_ - i);
        return next ? std::size_t(static_cast<const std::uint8_t*>(next) - dead_.data()) : n_;
    }

    std::size_t NextAlive(std::size_t i) const {
        std::size_t j = i + 1;
        if (j < n_ && dead_[j])
            j = runEnd_[j];
        return j; // n_ when there is none
    }

    std::size_t PrevAlive(std::size_t i) const {
        if (i == 0)
            return npos;
        std::size_t j = i - 1;
        if (dead_[j]) {
            const std::size_t s = runStart_[j];
            if (s == 0)
                return npos;
            j = s - 1;
        }
        return j;
    }

    // The pattern still stands at `s` as the text had it: same bytes, none of them dead.
    bool IntactAt(std::size_t s, const CleanTables::Packed& p) const {
        std::uint64_t lo;
        std::uint64_t hi;
        std::memcpy(&lo, dead_.data() + s, 8);
        std::memcpy(&hi, dead_.data() + s + 8, 8);
        return ((lo & p.maskLo) | (hi & p.maskHi)) == 0 &&
               PackedEquals(reinterpret_cast<const Byte*>(buf_.data()) + s, p);
    }

    bool MatchAt(std::size_t j, std::size_t s, Positions& at) {
        const std::string_view p = kCleanPairs[j].pattern;
        // Usually the occurrence is still as the text had it: contiguous and alive.
        if (s + p.size() <= n_ &&
            PackedEquals(reinterpret_cast<const Byte*>(buf_.data()) + s, tables_.packed[j])) {
            std::uint64_t lo;
            std::uint64_t hi;
            std::memcpy(&lo, dead_.data() + s, 8);
            std::memcpy(&hi, dead_.data() + s + 8, 8);
            const bool anyDead = ((lo & tables_.packed[j].maskLo) | (hi & tables_.packed[j].maskHi)) != 0;
            if (!anyDead) {
                at[0] = s;
                at[p.size() - 1] = s + p.size() - 1;
                contiguous_ = true;
                return true;
            }
        }
        contiguous_ = false;
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (s >= n_ || buf_[s] != p[i])
                return false;
            at[i] = s;
            s = NextAlive(s);
        }
        return true;
    }

    // Marks at[from..to) dead (only at[0] and the last are filled in when the match was contiguous):
    // they are adjacent alive bytes, so with the dead bytes between them and
    // any dead runs touching them they form one run.
    void Kill(const Positions& at, std::size_t from, std::size_t to) {
        if (from >= to)
            return;
        std::size_t first;
        std::size_t last;
        if (contiguous_) {
            first = at[0] + from;
            last = at[0] + to - 1;
            // At most 12 bytes: one masked 16-byte update (dead_ is padded for it).
            const std::size_t length = to - from;
            std::uint64_t lo;
            std::uint64_t hi;
            std::memcpy(&lo, dead_.data() + first, 8);
            std::memcpy(&hi, dead_.data() + first + 8, 8);
            lo |= length >= 8 ? 0x0101010101010101u : (std::uint64_t(1) << (8 * length)) / 255;
            hi |= length <= 8 ? 0 : (std::uint64_t(1) << (8 * (length - 8))) / 255;
            std::memcpy(dead_.data() + first, &lo, 8);
            std::memcpy(dead_.data() + first + 8, &hi, 8);
        } else {
            for (std::size_t i = from; i < to; ++i)
                dead_[at[i]] = 1;
            first = at[from];
            last = at[to - 1];
        }
        if (first > 0 && dead_[first - 1])
            first = runStart_[first - 1];
        if (last + 1 < n_ && dead_[last + 1])
            last = runEnd_[last + 1] - 1;
        runEnd_[first] = std::uint32_t(last + 1);
        runStart_[last] = std::uint32_t(first);
    }

    // Replaces the occurrence of pattern k at `at` and returns where a new occurrence would have to
    // reach: it must contain byte `key` and start no later than `latest`. False when nothing can form.
    [[gnu::always_inline]] bool Replace(std::size_t k, const Positions& at, std::size_t& key,
                                        std::size_t& latest) {
        const std::size_t m = passLength_;
        const std::string_view r = passReplacement_;
        const auto later = [this, k](Byte a, Byte b) { return tables_.lastWithBigram[a * 256u + b] > k; };
        if (r.empty()) {
            Kill(at, 0, m);
            const std::size_t left = PrevAlive(at[0]);
            const std::size_t right = NextAlive(at[m - 1]);
            if (left == npos || right >= n_ || !later(Byte(buf_[left]), Byte(buf_[right])))
                return false;
            key = right;
            latest = left;
            return true;
        }
        buf_[at[0]] = r[0];
        Kill(at, 1, m);
        const Byte c = Byte(r[0]);
        const std::size_t left = PrevAlive(at[0]);
        const std::size_t right = NextAlive(at[0]);
        if (tables_.lastWithSingle[c] <= k && (left == npos || !later(Byte(buf_[left]), c)) &&
            (right >= n_ || !later(c, Byte(buf_[right]))))
            return false;
        key = at[0];
        latest = at[0];
        return true;
    }

    // Looks for occurrences of patterns k and later that contain `key` and start at or before
    // `latest`. Later ones are noted for their pass; the leftmost one of pattern k is returned.
    std::size_t Probe(std::size_t k, std::size_t key, std::size_t latest) {
        std::array<std::size_t, kMaxPatternLength> starts;
        std::size_t count = 0;
        // A pattern holding `key` starts at most kMaxPatternLength - 1 alive bytes before it.
        for (std::size_t s = latest; s != npos && count < kMaxPatternLength; s = PrevAlive(s))
            starts[count++] = s;
        std::size_t cascade = npos;
        Positions at;
        for (std::size_t i = count; i-- > 0;) {
            const std::size_t s = starts[i];
            for (const std::uint8_t j : tables_.byFirst[Byte(buf_[s])]) {
                if (j < k || !MatchAt(j, s, at) || at[kCleanPairs[j].pattern.size() - 1] < key)
                    continue;
                if (j == k) {
                    if (cascade == npos)
                        cascade = s;
                } else {
                    formed_[j].push_back(std::uint32_t(s));
                }
            }
        }
        return cascade;
    }

    void RunPass(std::size_t k) {
        passLength_ = kCleanPairs[k].pattern.size();
        passReplacement_ = kCleanPairs[k].replacement;
        const std::uint32_t* original = original_.data() + originalStart_[k];
        const std::size_t originalCount = originalStart_[k + 1] - originalStart_[k];
        std::vector<std::uint32_t>& formed = formed_[k];
        if (originalCount == 0 && formed.empty())
            return;
        std::sort(formed.begin(), formed.end());
        formed.erase(std::unique(formed.begin(), formed.end()), formed.end());
        std::size_t a = 0;
        std::size_t b = 0;
        Positions at;
        if (formed.empty()) {
            const CleanTables::Packed& packed = tables_.packed[k];
            const std::size_t m = passLength_;
            for (; a < originalCount; ++a) {
                const std::size_t s = original[a];
                if (IntactAt(s, packed)) {
                    at[0] = s;
                    at[m - 1] = s + m - 1;
                    contiguous_ = true;
                    ReplaceAndCascade(k, at);
                } else if (!dead_[s] && MatchAt(k, s, at)) {
                    ReplaceAndCascade(k, at);
                }
            }
            return;
        }
        while (a < originalCount || b < formed.size()) {
            std::size_t s;
            if (b == formed.size() || (a < originalCount && original[a] <= formed[b]))
                s = original[a++];
            else
                s = formed[b++];
            if (!dead_[s] && MatchAt(k, s, at))
                ReplaceAndCascade(k, at);
        }
        formed.clear();
    }

    // Replaces the occurrence at `at`, then every occurrence of the same pattern that the
    // replacement forms with its neighbours, leftmost first, as searching from the start would.
    void ReplaceAndCascade(std::size_t k, Positions& at) {
        std::size_t key;
        std::size_t latest;
        if (Replace(k, at, key, latest))
            Cascade(k, at, key, latest);
    }

    // The rare case: the replacement's new neighbours could form an occurrence.
    [[gnu::noinline]] void Cascade(std::size_t k, Positions& at, std::size_t key, std::size_t latest) {
        while (true) {
            const std::size_t next = Probe(k, key, latest);
            if (next == npos || !MatchAt(k, next, at) || !Replace(k, at, key, latest))
                return;
        }
    }

    const CleanTables& tables_;
    bool contiguous_ = false; // the last match lay in adjacent bytes: at[i] == at[0] + i
    std::size_t passLength_ = 0;
    std::string_view passReplacement_;
    std::string buf_;
    std::size_t n_ = 0;
    std::vector<std::uint8_t> dead_;
    std::vector<std::uint32_t> runEnd_;   // at the first byte of a dead run: one past its end
    std::vector<std::uint32_t> runStart_; // at the last byte of a dead run: its first byte
    std::vector<std::pair<std::uint8_t, std::uint32_t>> found_; // (pair index, position) in text order
    std::size_t foundCount_ = 0;
    std::vector<std::uint32_t> original_;
    std::array<std::uint32_t, kCleanPairs.size() + 1> originalStart_{};
    std::array<std::vector<std::uint32_t>, kCleanPairs.size()> formed_;
};

} // namespace

namespace {

std::string_view Cut(std::string_view& buffer, const Searcher<true>& first, std::size_t firstSize,
                     const Searcher<true>& second) {
    const std::size_t start = first.Find(buffer);
    if (start == npos)
        return {};
    buffer.remove_prefix(start + firstSize);
    const std::size_t stop = second.Find(buffer);
    if (stop == npos)
        return {};
    const std::string_view cut = buffer.substr(0, stop);
    buffer.remove_prefix(stop);
    return cut;
}

} // namespace

std::string_view ExtractBetween(std::string_view& buffer, std::string_view first, std::string_view second,
                                int extraOffset) {
    (void)extraOffset; // no caller passes a non-zero offset, so it has no defined effect: ignored
    return Cut(buffer, Searcher<true>(first), first.size(), Searcher<true>(second));
}

struct Marker::Search {
    explicit Search(std::string_view text) : Text(text), Finder(text) {}
    std::string Text;
    Searcher<true> Finder;
};

Marker::Marker(std::string_view text) : search_(std::make_unique<Search>(text)) {}
Marker::~Marker() = default;
Marker::Marker(Marker&&) noexcept = default;
Marker& Marker::operator=(Marker&&) noexcept = default;

std::string_view Marker::Text() const {
    return search_->Text;
}

std::string_view ExtractBetween(std::string_view& buffer, const Marker& first, const Marker& second) {
    return Cut(buffer, first.search_->Finder, first.search_->Text.size(), second.search_->Finder);
}

std::string ReplaceAll(std::string_view source, std::string_view pattern, std::string_view replacement) {
    std::string out;
    if (!ReplaceInto(source, Searcher<false>(pattern), pattern, replacement, out))
        out.assign(source);
    return out;
}

std::string CleanHtml(std::string_view text) {
    // Most cut values hold none of the bytes that start a pattern: nothing to replace.
    const CleanTables& tables = Tables();
    bool anyPattern = false;
    for (const char c : text) {
        if (tables.isFirst[Byte(c)]) {
            anyPattern = true;
            break;
        }
    }
    std::string cleaned;
    if (!anyPattern) {
        cleaned.assign(text);
    } else {
        // A byte that is in no pattern is never replaced and no occurrence can span it, so the text
        // is cleaned in blocks cut before such bytes, each small enough to stay in the cache.
        constexpr std::size_t kBlock = 64 * 1024;
        cleaned.reserve(text.size() + 80); // a block asks for room behind it
        OnePassCleaner onePass(tables, text.data() + text.size());
        CleanEngine* engine = nullptr;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t stop = std::min(text.size(), start + kBlock);
            while (stop < text.size() && tables.inPattern[Byte(text[stop])])
                ++stop;
            const std::string_view block = text.substr(start, stop - start);
            if (!onePass.Clean(block, cleaned)) {
                // Reused, so that cleaning the many short values of a page allocates almost nothing.
                thread_local CleanEngine reused;
                engine = &reused;
                engine->Clean(block, cleaned);
            }
            start = stop;
        }
        if (engine)
            engine->ReleaseIfLarge();
    }
    const std::string_view kept = TrimControls(cleaned);
    const auto begin = static_cast<std::size_t>(kept.data() - cleaned.data());
    cleaned.erase(begin + kept.size());
    cleaned.erase(0, begin);
    return cleaned;
}

std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && Byte(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && Byte(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

std::string AsciiLowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace vorlith
