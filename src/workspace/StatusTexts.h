#pragma once
// The texts the status bar shows; every Part that writes a panel takes its text from here.

#include <string>
#include <string_view>

namespace vorlith {

inline constexpr std::string_view InitialItemCountText = "0 item listed";
inline constexpr std::string_view MainKeywordPanelPrefix = "Main Keyword: ";

// SecondStatusPanel after typed additions, deletions and harvesting: no singular form.
inline std::string ItemCountText(int rows) {
    return std::to_string(rows) + " items listed";
}
// SecondStatusPanel after every row of a keyword file import.
inline std::string TotalText(int rows) {
    return "Total: " + std::to_string(rows);
}
// bsSkinStatusPanel1.
inline std::string MainKeywordPanelText(std::string_view keyword) {
    return std::string(MainKeywordPanelPrefix) + std::string(keyword);
}

} // namespace vorlith
