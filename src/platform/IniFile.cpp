#include "platform/IniFile.h"

#include "platform/Files.h"
#include "platform/QStringBytes.h"

#include <QString>
#include <algorithm>

namespace vorlith {

namespace {

// The blanks the Windows reader trims: white space, CR, and the old end-of-file mark Ctrl-Z.
bool IsIniBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsIniBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsIniBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view first, std::string_view second) {
    if (first.size() != second.size())
        return false;
    for (std::size_t i = 0; i < first.size(); ++i)
        if (FoldCase(first[i]) != FoldCase(second[i]))
            return false;
    return true;
}

std::string FinishValue(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (const auto nul = value.find('\0'); nul != std::string_view::npos)
        value = value.substr(0, nul);
    if (value.size() > MaxIniValueLength)
        value = value.substr(0, MaxIniValueLength);
    return std::string(value);
}

// A UTF-16LE file with its byte-order mark, as Windows writes and reads it, as UTF-8.
std::string FromUtf16Le(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return ToBytes(QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())));
}

} // namespace

std::string ReadIniStringFromText(std::string_view text, std::string_view section, std::string_view key) {
    if (text.starts_with("\xFF\xFE")) {
        const std::string converted = FromUtf16Le(text.substr(2));
        return ReadIniStringFromText(converted, section, key);
    }
    section = Trim(section);
    key = Trim(key);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);

    enum class Place { BeforeSection, InSection, PastSection } place = Place::BeforeSection;
    while (!text.empty()) {
        // A bare CR ends a line too, as with CR LF (the LF then ends an empty one).
        const auto end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = Trim(line);

        if (line.starts_with('[')) {
            if (const auto close = line.rfind(']'); close != std::string_view::npos) {
                const bool match = SameName(Trim(line.substr(1, close - 1)), section);
                if (place == Place::InSection)
                    place = Place::PastSection;
                else if (place == Place::BeforeSection && match)
                    place = Place::InSection;
                if (place == Place::PastSection)
                    return {};
                continue;
            }
            // An unclosed "[" is no header; the line is read as a key line.
        }
        if (place != Place::InSection)
            continue;
        const auto equals = line.find('=');
        const std::string_view name = Trim(line.substr(0, equals));
        if (!SameName(name, key))
            continue;
        return equals == std::string_view::npos ? std::string() : FinishValue(line.substr(equals + 1));
    }
    return {};
}

std::vector<std::string> ReadIniSectionNames(std::string_view text) {
    if (text.starts_with("\xFF\xFE"))
        return ReadIniSectionNames(FromUtf16Le(text.substr(2)));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<std::string> names;
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const auto close = line.rfind(']');
        if (!line.starts_with('[') || close == std::string_view::npos)
            continue;
        const std::string_view name = Trim(line.substr(1, close - 1));
        if (std::none_of(names.begin(), names.end(), [name](const std::string& seen) { return SameName(seen, name); }))
            names.emplace_back(name);
    }
    return names;
}

std::string ReadIniString(const std::string& file, std::string_view section, std::string_view key) {
    std::optional<std::string> text = ReadRegularFile(file, MaxIniFileSize);
    if (!text)
        return {};
    if (text->size() > MaxIniFileSize)
        text->resize(MaxIniFileSize); // what lies beyond is not read
    return ReadIniStringFromText(*text, section, key);
}

} // namespace vorlith
