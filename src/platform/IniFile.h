#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

// Longest value handed back; longer values are cut to their first characters.
inline constexpr std::size_t MaxIniValueLength = 2047;
// Only this much of a file is read; no settings file comes near it.
inline constexpr std::size_t MaxIniFileSize = 1024 * 1024;

// One value of an INI file, read the way Windows' GetPrivateProfileStringA reads it:
// - section and key names match without regard to (ASCII) case, blanks around them ignored;
// - only the first section of a name is searched, and the first key of a name in it wins;
// - blanks around the value are removed, then one pair of matching ' or " quotes;
// - lines end at LF, CR LF or a bare CR; a line without "=" is a key without value;
// - a file starting with the UTF-16LE byte-order mark is read as UTF-16LE (values come back as
//   UTF-8);
// - only regular files are read, at most MaxIniFileSize bytes of them;
//   a comment line (";...") is only a key nobody asks for;
// - at most MaxIniValueLength characters, cut at a NUL byte;
// - a missing file, section or key, or an empty value, gives "".
std::string ReadIniString(const std::string& file, std::string_view section, std::string_view key);

// The same rules over text already in memory.
std::string ReadIniStringFromText(std::string_view text, std::string_view section, std::string_view key);

// The section names of the text in file order, blanks trimmed; a name repeated (case ignored) is
// listed once, since only its first section is ever read.
std::vector<std::string> ReadIniSectionNames(std::string_view text);

} // namespace vorlith
