#pragma once
// The security image: a PNG that really shows the characters to type, drawn with Qt.

#include <QByteArray>
#include <cstdint>
#include <string_view>

namespace vorlith::standin {

inline constexpr int ChallengeImageWidth = 200;
inline constexpr int ChallengeImageHeight = 60;

// Needs a QGuiApplication (fonts). Safe to call from any thread; the noise follows the seed.
QByteArray DrawChallengeImage(std::string_view characters, std::uint64_t seed);

} // namespace vorlith::standin
