#pragma once
// Texts are bytes everywhere in the program; Qt shows and takes QString. These two are the one
// place where the two meet, in the user's 8-bit encoding, as the program always read its texts.

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace vorlith {

inline QString ToQString(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Keyword files need not be valid UTF-8, and the bytes of an invalid sequence must keep their
// identity: two texts differing only there never meet as equal (both would read as U+FFFD).
bool IsValidUtf8(std::string_view bytes);

// The text for case-insensitive searching: ToQString where the bytes are valid UTF-8, else each byte
// of an invalid sequence as the lone surrogate U+DC80 + (byte - 0x80), which folding leaves alone and
// no valid text holds. FromSearchText turns such a text back into the same bytes.
QString ToSearchText(std::string_view bytes);
// ToSearchText folded to lower case (the escaped bytes stay as they are).
QString ToFoldedSearchText(std::string_view bytes);
std::string FromSearchText(const QString& text);

// The text for collating: each byte of an invalid sequence as its Latin-1 character, so that it sorts
// near its look-alikes. `invalid` gets each such byte with its place, in order, with no zero byte:
// texts that collate equal are the same only when these are too (left empty for valid UTF-8).
QString ToCollationText(std::string_view bytes, std::string& invalid);

} // namespace vorlith
