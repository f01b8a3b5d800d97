#pragma once
// Byte strings whose order is the Keywords column's order (the locale's collation, case
// ignored): equal keys mean keywords the column compares as equal. A byte of an invalid UTF-8
// sequence collates as its Latin-1 character, and two texts never compare equal unless they hold the
// same such bytes in the same places: between otherwise equal texts the valid one comes first.

#include <QLocale>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QString;
struct UCollator;

namespace vorlith {

class KeywordKeys {
public:
    explicit KeywordKeys(const QLocale& locale);
    ~KeywordKeys();
    KeywordKeys(const KeywordKeys&) = delete;
    KeywordKeys& operator=(const KeywordKeys&) = delete;

    // Appends the key of text to out. Keys hold no zero byte, so a shorter key that is a prefix
    // of a longer one sorts first when both are padded with zeros.
    void Append(std::string_view text, std::string& out);

    // True when, in this locale, two keywords of printable ASCII (32 to 126) are equal exactly
    // when they are equal with ASCII letters folded to lower case; then such keywords can be
    // matched by their folded bytes without asking the collation.
    bool AsciiFoldsLikeCollation();

    // For keywords of printable ASCII: one byte per character such that these bytes order such
    // keywords exactly as their keys do, or null where that cannot be shown for the locale. Only
    // in the C locale are they the keys themselves; elsewhere they compare only with each other.
    const std::array<std::uint8_t, 256>* AsciiRanks();

private:
    struct Closer {
        void operator()(UCollator* c) const;
    };
    static void Encode(char32_t cp, std::string& out);
    static bool IsAsciiBelowDel(std::string_view text);
    static void AppendFolded(std::string_view text, std::string& out);
    static void AppendFoldedUnits(const QString& shown, std::string& out);
    void AppendCollated(const QString& shown, std::string& out);

    std::unique_ptr<UCollator, Closer> collator_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(256);
    int asciiFolds_ = -1; // unknown, 0, 1
    int asciiRanked_ = -1; // unknown, 0, 1
    std::array<std::uint8_t, 256> asciiRanks_{};
    std::string invalid_;
};

// Printable ASCII only: the bytes the fast matching path may fold.
bool IsPrintableAscii(std::string_view text);

} // namespace vorlith
