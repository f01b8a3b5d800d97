#pragma once
// Cutting values out of fetched pages and cleaning them, without parsing HTML. Texts are bytes;
// nothing here converts character sets.
#include <memory>
#include <string>
#include <string_view>

namespace vorlith {

// Finds `first` in `buffer` (the 26 ASCII letters match regardless of case), then `second` after it,
// and returns the text between them. The buffer is consumed: afterwards it starts with `second`, so a
// following cut may use that marker as its first. When `first` is missing or empty the result is
// empty and the buffer is unchanged; when `second` is missing or empty the result is empty and the
// buffer holds what followed `first`. The result views into the caller's text, which the caller
// keeps alive. `extraOffset` is accepted for compatibility and ignored: no caller passes one.
std::string_view ExtractBetween(std::string_view& buffer, std::string_view first, std::string_view second,
                                int extraOffset = 0);

// A marker set up once for many ExtractBetween cuts through one page (the search is the same).
class Marker {
public:
    explicit Marker(std::string_view text);
    ~Marker();
    Marker(Marker&&) noexcept;
    Marker& operator=(Marker&&) noexcept;
    std::string_view Text() const;

private:
    friend std::string_view ExtractBetween(std::string_view&, const Marker&, const Marker&);
    struct Search;
    std::unique_ptr<Search> search_;
};

// ExtractBetween with prepared markers.
std::string_view ExtractBetween(std::string_view& buffer, const Marker& first, const Marker& second);

// Replaces the first exact occurrence of `pattern` and searches again from the start until none is
// left, so that text formed by a replacement and its neighbours is replaced too ("&amp;amp;" with
// "&amp;" -> "&" gives "&"). Runs in one pass. An empty pattern returns the text unchanged. A
// replacement that contains its pattern would never finish that way: each occurrence of the source is
// then replaced once, left to right. Throws std::length_error when a replacement no shorter than its
// pattern keeps re-forming it: more than 8 * (size + 1) + 4096 replacements.
std::string ReplaceAll(std::string_view source, std::string_view pattern, std::string_view replacement);

// Removes the fixed list of tags, entities and line breaks that pages put into cut values (50 ordered
// replacements), then trims every byte <= 32 from both ends.
std::string CleanHtml(std::string_view text);

// The text without the bytes <= 32 (blanks and control characters) at either end.
std::string_view TrimControls(std::string_view text);

// The text with A-Z made a-z and every other byte kept, as HTTP and INI names compare.
std::string AsciiLowered(std::string_view text);

} // namespace vorlith
