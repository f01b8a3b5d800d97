#include "workspace/KeywordKeys.h"

#include "platform/QStringBytes.h"

#include <QString>
#include <algorithm>
#include <stdexcept>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

namespace vorlith {

// QCollator's own keys are slow to compare and, for the C locale, do not ignore case; so: for
// the C locale the case-folded UTF-16 text (the comparison Qt makes there), otherwise ICU keys
// from a collator set up as QCollator sets up its own.
KeywordKeys::KeywordKeys(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return;
    const std::string name = locale.bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
    UErrorCode status = U_ZERO_ERROR;
    collator_.reset(ucol_open(name.c_str(), &status));
    if (U_FAILURE(status) || !collator_)
        throw std::runtime_error("Cannot open the collation of locale " + name);
    ucol_setAttribute(collator_.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator_.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(collator_.get(), UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator_.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    if (U_FAILURE(status))
        throw std::runtime_error("Cannot set up the collation of locale " + name);
}

KeywordKeys::~KeywordKeys() = default;

void KeywordKeys::Closer::operator()(UCollator* c) const {
    ucol_close(c);
}

void KeywordKeys::Append(std::string_view text, std::string& out) {
    if (text.empty())
        return; // the empty text sorts before every other one
    if (!collator_ && IsAsciiBelowDel(text))
        return AppendFolded(text, out);
    const QString shown = ToCollationText(text, invalid_);
    if (!collator_)
        AppendFoldedUnits(shown, out);
    else
        AppendCollated(shown, out);
    // Texts equal but for their invalid bytes stay apart, each after the valid one. Neither kind of
    // key holds 0x01 followed by 0xFF, so the mark cannot be mistaken for a character.
    if (!invalid_.empty()) {
        out.append("\x01\xff");
        out.append(invalid_);
    }
}

void KeywordKeys::AppendCollated(const QString& shown, std::string& out) {
    const auto* units = reinterpret_cast<const UChar*>(shown.utf16());
    const auto length = static_cast<int32_t>(shown.size());
    // Qt puts an empty text first even where the collation ignores every character.
    out.push_back('\x01');
    int32_t size =
        ucol_getSortKey(collator_.get(), units, length, buffer_.data(), static_cast<int32_t>(buffer_.size()));
    if (size > static_cast<int32_t>(buffer_.size())) {
        buffer_.resize(static_cast<std::size_t>(size));
        size = ucol_getSortKey(collator_.get(), units, length, buffer_.data(), size);
    }
    if (size > 1) // without the terminating zero
        out.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(size - 1));
}

bool KeywordKeys::AsciiFoldsLikeCollation() {
    if (asciiFolds_ >= 0)
        return asciiFolds_ == 1;
    asciiFolds_ = 1;
    if (!collator_)
        return true; // the C locale compares the folded text itself
    // Every pair of printable characters: equal exactly when they fold to the same letter. A
    // locale that tells I from i (Turkish) or merges two of them takes the collation's road.
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (char a = 32; a < 127 && asciiFolds_; ++a)
        for (char b = a; b < 127; ++b) {
            const UChar ua = static_cast<UChar>(a), ub = static_cast<UChar>(b);
            const bool equal = ucol_strcoll(collator_.get(), &ua, 1, &ub, 1) == UCOL_EQUAL;
            if (equal != (fold(a) == fold(b))) {
                asciiFolds_ = 0;
                break;
            }
        }
    // A contraction or expansion among ASCII letters (Danish "aa") makes more strings equal.
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator_.get(), contractions, expansions, false, &status);
    if (U_FAILURE(status))
        asciiFolds_ = 0;
    for (USet* set : {contractions, expansions}) {
        UChar buffer[64];
        const int32_t items = uset_getItemCount(set);
        for (int32_t i = 0; i < items && asciiFolds_; ++i) {
            UChar32 first = 0, last = 0;
            const int32_t length = uset_getItem(set, i, &first, &last, buffer, 64, &status);
            status = U_ZERO_ERROR;
            if (length == 0 && first < 127 && last >= 32)
                asciiFolds_ = 0; // a range of single characters
            else if (length > 0 && buffer[0] >= 32 && buffer[0] < 127)
                asciiFolds_ = 0;
        }
    }
    uset_close(contractions);
    uset_close(expansions);
    return asciiFolds_ == 1;
}

// Shown for the locale rather than assumed: each printable character is one collation element
// with a primary weight, characters of different ranks differ in that weight, and no contraction
// or expansion starts with one (AsciiFoldsLikeCollation). Then two such keywords compare by their
// primary weights, character by character, and equal primaries mean equal keys.
const std::array<std::uint8_t, 256>* KeywordKeys::AsciiRanks() {
    if (asciiRanked_ >= 0)
        return asciiRanked_ == 1 ? &asciiRanks_ : nullptr;
    asciiRanked_ = 0;
    if (!collator_) {
        // The C locale's keys of such keywords are these bytes themselves.
        for (int c = 32; c < 127; ++c)
            asciiRanks_[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) + 1);
        asciiRanked_ = 1;
        return &asciiRanks_;
    }
    if (!AsciiFoldsLikeCollation())
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCollator, Closer> primary(ucol_clone(collator_.get(), &status));
    if (U_FAILURE(status) || !primary)
        return nullptr;
    ucol_setAttribute(primary.get(), UCOL_STRENGTH, UCOL_PRIMARY, &status);
    if (U_FAILURE(status))
        return nullptr;
    std::vector<UChar> chars;
    for (UChar c = 32; c < 127; ++c) {
        UCollationElements* elements = ucol_openElements(collator_.get(), &c, 1, &status);
        if (U_FAILURE(status) || !elements)
            return nullptr;
        const int32_t first = ucol_next(elements, &status);
        const int32_t second = ucol_next(elements, &status);
        ucol_closeElements(elements);
        if (U_FAILURE(status) || first == UCOL_NULLORDER || ucol_primaryOrder(first) == 0 ||
            second != UCOL_NULLORDER)
            return nullptr;
        chars.push_back(c);
    }
    for (const UChar a : chars)
        for (const UChar b : chars) {
            const bool same = ucol_strcoll(collator_.get(), &a, 1, &b, 1) == UCOL_EQUAL;
            if (same != (ucol_strcoll(primary.get(), &a, 1, &b, 1) == UCOL_EQUAL))
                return nullptr;
        }
    std::stable_sort(chars.begin(), chars.end(), [this](UChar a, UChar b) {
        return ucol_strcoll(collator_.get(), &a, 1, &b, 1) == UCOL_LESS;
    });
    std::uint8_t rank = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i == 0 || ucol_strcoll(collator_.get(), &chars[i - 1], 1, &chars[i], 1) != UCOL_EQUAL)
            ++rank;
        asciiRanks_[chars[i]] = rank;
    }
    asciiRanked_ = 1;
    return &asciiRanks_;
}

// A UTF-16 unit + 1 in UTF-8's order-keeping form: no zero byte, byte order = unit order.
void KeywordKeys::Encode(char32_t cp, std::string& out) {
    const char32_t v = cp + 1;
    if (v < 0x80) {
        out.push_back(static_cast<char>(v));
    } else if (v < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (v >> 6)));
        out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
    } else if (v < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (v >> 12)));
        out.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (v >> 18)));
        out.push_back(static_cast<char>(0x80 | ((v >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
    }
}

bool KeywordKeys::IsAsciiBelowDel(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x7F; });
}

// Most keywords are plain ASCII below DEL: one byte each, lower case + 1.
void KeywordKeys::AppendFolded(std::string_view text, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + text.size());
    char* p = out.data() + at;
    for (char c : text)
        *p++ = static_cast<char>((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) + 1);
}

void KeywordKeys::AppendFoldedUnits(const QString& shown, std::string& out) {
    const qsizetype n = shown.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t cp = shown.at(i).unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && shown.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(shown.at(i), shown.at(i + 1));
            ++i;
        }
        // Qt compares the folded text by UTF-16 units, not by code points.
        cp = QChar::isSurrogate(cp) ? cp : QChar::toCaseFolded(cp);
        if (QChar::requiresSurrogates(cp)) {
            Encode(QChar::highSurrogate(cp), out);
            Encode(QChar::lowSurrogate(cp), out);
        } else {
            Encode(cp, out);
        }
    }
}

bool IsPrintableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c < 127; });
}

} // namespace vorlith
