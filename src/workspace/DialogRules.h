#pragma once
// What the keyword dialogs decide when Ok is pressed: nothing, or the refusal to show.

#include <optional>
#include <string_view>

namespace vorlith {

inline constexpr std::string_view NoMainKeywordMessage = "Please add a Main Keyword.";
inline constexpr std::string_view BothWaysMessage = "Please select only one way to add keywords.";
inline constexpr std::string_view InvalidFileMessage = "Please select a valid file.";

// TfrmMainKeyword: refuses only empty text; spaces count as text.
std::optional<std::string_view> MainKeywordRefusal(std::string_view keyword);

// TfrmAddKeywords: both boxes filled first, then a file box naming no existing file
// (a folder is no file; a relative name is taken from the current working folder).
std::optional<std::string_view> AddKeywordsRefusal(std::string_view keyword, std::string_view listFile);

} // namespace vorlith
