#pragma once
// The filter box: the rows whose keyword contains the typed text, case ignored; and what the
// context menu copies. The window's filtered view is gui/KeywordModel.

#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class KeywordTable;
class Workspace;

// The needle as KeywordContains wants it: folded to lower case.
std::string FoldedNeedle(std::string_view text);
// True when keyword contains the folded needle, case ignored (an empty needle is in every text). A
// byte of an invalid UTF-8 sequence matches only the same byte.
bool KeywordContains(std::string_view keyword, std::string_view foldedNeedle);

// Positions of the rows whose keyword contains text, in table order; every row for "".
std::vector<int> FilterRows(const KeywordTable& table, std::string_view text);
// The rows the workspace's filter shows.
std::vector<int> ShownRows(const Workspace& ws);

// SecondStatusPanel while a filter is set: how many rows are shown of how many.
std::string FilterCountText(int shown, int total);

// Copy Keywords: the keywords of the rows, one per line.
std::string KeywordsText(const KeywordTable& table, const std::vector<int>& rows);
// Copy Rows: the header and the rows, fields separated by tabs, for a spreadsheet. A tab or line
// break inside a value becomes a space so that no value spills into the next field; a value that
// a spreadsheet would run as a formula gets Save's quote prefix.
std::string RowsText(const KeywordTable& table, const std::vector<int>& rows);

} // namespace vorlith
