// The fast text operations against the plain ones of TextReference.h, on random and adversarial
// texts: small alphabets so that markers overlap and repeat, entity chains, markers at the ends.
#include "TextReference.h"
#include "text/UUtils.h"

#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlith {
namespace {

class Generator {
public:
    explicit Generator(std::uint32_t seed) : rng_(seed) {}

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    std::string Bytes(std::string_view alphabet, std::size_t maxLength) {
        std::string out(Below(maxLength + 1), '\0');
        for (char& c : out)
            c = alphabet[Below(alphabet.size())];
        return out;
    }

    // Text made of pieces: tags of the clean list and their fragments, entities, case variants.
    std::string Pieces(const std::vector<std::string>& pieces, std::size_t maxPieces) {
        std::string out;
        for (std::size_t n = Below(maxPieces + 1); n > 0; --n)
            out += pieces[Below(pieces.size())];
        return out;
    }

    // A marker: often a piece of the text (so that it occurs), sometimes random.
    std::string MarkerFor(const std::string& text, std::string_view alphabet) {
        if (!text.empty() && Below(3) != 0) {
            const std::size_t start = Below(text.size());
            return text.substr(start, 1 + Below(std::min<std::size_t>(6, text.size() - start)));
        }
        return Bytes(alphabet, 4);
    }

    std::string FlipCase(std::string text) {
        for (char& c : text)
            if (Below(2) != 0 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                c = char(c ^ 0x20);
        return text;
    }

private:
    std::mt19937 rng_;
};

constexpr std::string_view kSmall = "ab";
constexpr std::string_view kMixed = "aAbB<>/&;\xe9\xc9[{@`";

const std::vector<std::string> kHtmlPieces{
    "<",        ">",      "/",    "b",     "B",     "r",          "R",      "<b>",    "</b>", "<br>",
    "<BR>",     "<br />", "&",    "amp;",  "&amp;", "nbsp;",      "&nbsp;", "&#039;", "<st",  "rong>",
    "<strong>", "Tel",    " : ",  "Fax",   " ",     "\t",         "\r",     "\n",     "\"",   "<p>",
    "<P>",      "</p>",   "<td>", "</TD>", "<tr>",  "</TR>",      "td",     "TD",     "tr",   "x",
    "\x01",     "\xa0",   "<h3>", "H3>",   "<u>",   "</INVALID>", "<B",     "R>",     "<br",  "/>",
    "<i>",      "</i>",   "<em>", "</em>", "<wbr>", "font>",      "</"};

TEST(TextDifferential, ExtractBetweenChainsMatchThePlainCut) {
    Generator gen(1);
    for (int round = 0; round < 20000; ++round) {
        const std::string_view alphabet = round % 2 ? kMixed : kSmall;
        const std::string page = round % 3 ? gen.Bytes(alphabet, 40) : gen.Pieces(kHtmlPieces, 12);
        std::string expectedBuffer = page;
        std::string_view buffer = page;
        for (int cut = 0; cut < 4; ++cut) {
            const std::string first = gen.FlipCase(gen.MarkerFor(expectedBuffer, alphabet));
            const std::string second = gen.FlipCase(gen.MarkerFor(expectedBuffer, alphabet));
            const std::string expected = reference::ExtractBetween(expectedBuffer, first, second);
            ASSERT_EQ(ExtractBetween(buffer, first, second), expected)
                << "page [" << page << "] first [" << first << "] second [" << second << "]";
            ASSERT_EQ(buffer, expectedBuffer) << "page [" << page << "]";
        }
    }
}

TEST(TextDifferential, ReplaceAllMatchesTheLiteralLoop) {
    Generator gen(2);
    for (int round = 0; round < 30000; ++round) {
        const std::string_view alphabet = round % 2 ? kMixed : kSmall;
        const std::string text = round % 3 ? gen.Bytes(alphabet, 30) : gen.Pieces(kHtmlPieces, 10);
        const std::string pattern = gen.MarkerFor(text, alphabet);
        // Mostly shorter replacements (the ones callers use), but also equal and longer ones.
        std::string replacement = gen.Bytes(alphabet, round % 4 ? pattern.size() : pattern.size() + 2);
        if (round % 5 == 0 && !pattern.empty())
            replacement = pattern.substr(0, gen.Below(pattern.size()));
        const auto expected = reference::ReplaceAll(text, pattern, replacement);
        if (expected) {
            ASSERT_EQ(ReplaceAll(text, pattern, replacement), *expected)
                << "text [" << text << "] pattern [" << pattern << "] replacement [" << replacement << "]";
        } else {
            ASSERT_THROW(ReplaceAll(text, pattern, replacement), std::length_error)
                << "text [" << text << "] pattern [" << pattern << "] replacement [" << replacement << "]";
        }
    }
}

TEST(TextDifferential, ReplaceAllOnAdversarialTexts) {
    struct Case {
        std::string text, pattern, replacement;
    };
    std::vector<Case> cases;
    for (std::size_t n : {0u, 1u, 2u, 7u, 64u, 300u}) {
        std::string chain = "&";
        for (std::size_t i = 0; i < n; ++i)
            chain += "amp;";
        cases.push_back({chain, "&amp;", "&"});
        cases.push_back({std::string(n, 'a'), "aa", "a"});
        // First and last bytes match everywhere: the search falls back to its linear-time scan.
        cases.push_back({std::string(n, 'a') + "aabaa" + std::string(n, 'a'), "aabaa", "-"});
        cases.push_back({std::string(n, 'a'), "aaa", ""});
        cases.push_back(
            {std::string(n, 'a') + "b", std::string(std::min<std::size_t>(n, 40), 'a') + "b", "a"});
        cases.push_back({std::string(n, '<') + "b>" + std::string(n, 'b') + std::string(n, '>'), "<b>", ""});
        cases.push_back({std::string(n, 'a') + std::string(n, 'b'), "ab", "ba"});
        cases.push_back({std::string(n, 'a') + std::string(n, 'b'), "ab", ""});
        std::string abab;
        for (std::size_t i = 0; i < n; ++i)
            abab += "aba";
        cases.push_back({abab, "abaab", "ab"});
        cases.push_back({abab, "aba", "ab"});
        cases.push_back({abab + "b", "ab", "b"});
    }
    for (const Case& c : cases) {
        const auto expected = reference::ReplaceAll(c.text, c.pattern, c.replacement);
        if (expected)
            ASSERT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), *expected)
                << "text [" << c.text << "] pattern [" << c.pattern << "]";
        else
            ASSERT_THROW(ReplaceAll(c.text, c.pattern, c.replacement), std::length_error);
    }
}

TEST(TextDifferential, ExtractBetweenOnAdversarialTexts) {
    // Many near-misses before the real marker: the fast search must not lose its way.
    for (std::size_t n : {1u, 5u, 100u, 3000u}) {
        const std::string page =
            std::string(n, 'a') + "aB" + std::string(n, 'A') + "ab" + std::string(n, 'b');
        for (const std::string& first : std::vector<std::string>{
                 "aab", "aaaaab", "AB", std::string(n, 'a') + "b", std::string("a\xe9")}) {
            for (const std::string& second :
                 std::vector<std::string>{"ba", "bbb", "Ab", std::string(n, 'B')}) {
                std::string expectedBuffer = page;
                std::string_view buffer = page;
                const std::string expected = reference::ExtractBetween(expectedBuffer, first, second);
                ASSERT_EQ(ExtractBetween(buffer, first, second), expected) << first << " " << second;
                ASSERT_EQ(buffer, expectedBuffer);
            }
        }
    }
}

TEST(TextDifferential, CleanHtmlMatchesThePlainPairs) {
    Generator gen(3);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = gen.Pieces(kHtmlPieces, round % 10 == 0 ? 80 : 16);
        ASSERT_EQ(CleanHtml(text), reference::CleanHtml(text)) << "text [" << text << "]";
    }
}

TEST(TextDifferential, CleanHtmlOnLongTextsWithEditsAcrossItsBlocks) {
    // Long fillers of bytes that are in no pattern ('y') or only in patterns ('a'), with tangled
    // markup placed across the 64 KiB marks where the cleaning may cut the text.
    Generator gen(4);
    for (const char filler : {'y', 'a', ' '}) {
        for (int round = 0; round < 6; ++round) {
            std::string text;
            for (std::size_t mark : {65536u, 131072u, 196608u}) {
                const std::string tangle = gen.Pieces(kHtmlPieces, 40);
                const std::size_t offset = gen.Below(tangle.size() + 1);
                text.append(mark - offset - text.size(), filler);
                text += tangle;
            }
            text.append(1000, filler);
            ASSERT_EQ(CleanHtml(text), reference::CleanHtml(text))
                << "filler " << filler << " round " << round;
        }
    }
}

} // namespace
} // namespace vorlith
