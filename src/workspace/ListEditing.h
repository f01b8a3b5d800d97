#pragma once
// Building and trimming the keyword table by hand: "Add Keywords", the keyword list file import
// and the four buttons under the table.

#include "workspace/WorkspaceUi.h"

#include <QLocale>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class KeywordTable;
class Workspace;
struct ImportOptions;

inline constexpr std::string_view DeleteSelectedQuestion =
    "Are you sure do you want to delete the selected keywords?";
inline constexpr std::string_view DeleteAllQuestion = "Are you sure do you want to delete all?";

// Splits a keyword list into lines at CR LF, CR and LF. A final break makes no extra line, an
// empty middle line is an empty keyword, a NUL ends the list; nothing is trimmed. The views
// point into text.
std::vector<std::string_view> SplitKeywordLines(std::string_view text);

// The keyword list file's bytes up to its first NUL: nothing after it becomes a row. Throws like
// ImportKeywordFile.
std::string ReadListFile(const std::string& path);

// Appends one row per line of the keyword list file at path, numbered on from the rows already
// there, and returns how many; no file at the path gives 0. Throws like ImportKeywordFile.
std::size_t AppendKeywordFile(KeywordTable& table, const std::string& path);
// The same with the import options applied to every line; returns how many rows were added.
std::size_t AppendKeywordFile(KeywordTable& table, const std::string& path, const ImportOptions& options);

// The lines that the import options let through, in order. Trimming strips bytes of code 32 or
// less from both ends; skipping compares as the Keywords column does, case ignored, against the
// table and against the lines let through before.
std::vector<std::string_view> FilterImportLines(const KeywordTable& table,
                                                std::vector<std::string_view> lines,
                                                const ImportOptions& options,
                                                const QLocale& locale = QLocale::system());

// One typed keyword as one row, or the import of the chosen file; refused (with the text the
// dialog shows) when the dialog would refuse the answer.
std::optional<std::string_view> AddKeywords(Workspace& ws, const AddKeywordsAnswer& answer);

// "Add Keywords": asks, then AddKeywords with the answer.
void AddKeywords(Workspace& ws);

// Appends one row per line of the file, numbered on from the rows already there. No file at
// the path (an empty path included): nothing happens. A file that cannot be read throws
// std::runtime_error naming the file and the reason.
void ImportKeywordFile(Workspace& ws, const std::string& path);

void SelectAll(Workspace& ws);      // Select All
void ClearSelection(Workspace& ws); // Clear Selection
void DeleteSelected(Workspace& ws); // Delete Selected
void DeleteAll(Workspace& ws);      // Delete All

// The table's context menu, on the highlighted rows (positions in any order).
void SetRowsChecked(KeywordTable& table, const std::vector<int>& rows, bool checked);
// The same from the window: refused politely while a worker reads the table.
void SetRowsChecked(Workspace& ws, const std::vector<int>& rows, bool checked);
// Asks as Delete Selected does; on OK removes those rows. Shows the item count either way.
void DeleteRows(Workspace& ws, const std::vector<int>& rows);

} // namespace vorlith
