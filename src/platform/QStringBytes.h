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

} // namespace vorlith
