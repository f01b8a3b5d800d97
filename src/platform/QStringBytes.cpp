#include "platform/QStringBytes.h"

#include <cstdint>

namespace vorlith {

namespace {

// The length of the well-formed UTF-8 sequence at `at` (the Unicode standard's table of well-formed
// byte sequences: no overlong forms, no surrogates, nothing past U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view bytes, std::size_t at, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char b = byte(0);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char c = byte(i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    return length;
}

template <class Invalid> QString Decode(std::string_view bytes, Invalid&& invalid) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = SequenceLength(bytes, i, cp);
        if (length == 0) {
            invalid(out, static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(cp)) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(static_cast<char16_t>(cp)));
        }
        i += length;
    }
    return out;
}

constexpr char16_t EscapeBase = 0xDC00;

// A lone low surrogate from 0xDC80 on is an escaped byte; a paired one is part of a character.
bool IsEscapedByte(const QString& text, qsizetype i) {
    const char16_t u = text.at(i).unicode();
    return u >= EscapeBase + 0x80 && u <= EscapeBase + 0xFF && !(i > 0 && text.at(i - 1).isHighSurrogate());
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = SequenceLength(bytes, i, cp);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

QString ToSearchText(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return ToQString(bytes);
    return Decode(bytes, [](QString& out, unsigned char b) { out.append(QChar(char16_t(EscapeBase + b))); });
}

QString ToFoldedSearchText(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return ToQString(bytes).toCaseFolded();
    // Folding turns a lone surrogate into U+FFFD: fold only the runs between the escaped bytes.
    const QString text = ToSearchText(bytes);
    QString out;
    out.reserve(text.size());
    qsizetype begin = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsEscapedByte(text, i))
            continue;
        out.append(text.mid(begin, i - begin).toCaseFolded());
        if (i < text.size())
            out.append(text.at(i));
        begin = i + 1;
    }
    return out;
}

std::string FromSearchText(const QString& text) {
    std::string out;
    qsizetype begin = 0;
    const auto flush = [&](qsizetype end) {
        if (end > begin)
            out += ToBytes(text.mid(begin, end - begin));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsEscapedByte(text, i)) {
            flush(i);
            out.push_back(static_cast<char>(text.at(i).unicode() - EscapeBase));
            begin = i + 1;
        }
    }
    flush(text.size());
    return out;
}

QString ToCollationText(std::string_view bytes, std::string& invalid) {
    invalid.clear();
    if (IsValidUtf8(bytes))
        return ToQString(bytes);
    return Decode(bytes, [&invalid](QString& out, unsigned char b) {
        // Where it stands (in UTF-16 units, four digits of base 255 from 1) and the byte: no zero byte.
        auto at = static_cast<std::uint64_t>(out.size());
        char digits[4];
        for (int d = 3; d >= 0; --d, at /= 255)
            digits[d] = static_cast<char>(at % 255 + 1);
        invalid.append(digits, 4);
        invalid.push_back(static_cast<char>(b));
        out.append(QChar(char16_t(b)));
    });
}

} // namespace vorlith
