#pragma once
// "Save Results": the whole keyword table, headed by the column captions, as a CSV file.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorlith {

class KeywordTable;
class Workspace;

inline constexpr std::string_view NoDataToSaveMessage = "You don't have any data to save.";
inline constexpr std::string_view SaveDialogTitle = "Save file";
inline constexpr std::string_view SaveDialogFilter = "CSV files (*.csv)";
inline constexpr std::string_view CsvExtension = ".csv";

// An optional leading '-' or '+', decimal digits with optional ',' group separators, and one
// optional '.' fraction.
bool IsPlainNumber(std::string_view value);
// Whether a cell written for a spreadsheet gets the quote prefix that keeps it from being a
// formula: it starts with = + - @ tab or CR and is not a plain number.
bool NeedsFormulaQuote(std::string_view value);

// The names of the sources that suggested each row, by row id.
using RowSourceNames = std::unordered_map<std::uint32_t, std::string>;
inline constexpr std::string_view SourceColumnHeader = "Source";

// The file's bytes: the header and every row in display order, every field quoted (a quote
// inside a value doubled), CR LF after every line; with sources, a last Source column.
std::string ResultsCsv(const KeywordTable& table, const RowSourceNames* sources = nullptr);
// The same for the rows at the given positions only, in that order.
std::string ResultsCsv(const KeywordTable& table, const std::vector<int>& rows,
                       const RowSourceNames* sources = nullptr);

// Receives a file's bytes piece by piece, in order.
using ByteSink = std::function<void(std::string_view)>;
// ResultsCsv (every row when rows is null) given to sink in pieces of about a mebibyte, so that
// nothing the size of the file is held in memory.
// sources adds the Source column last.
void WriteResultsCsv(const KeywordTable& table, const std::vector<int>* rows, const ByteSink& sink,
                     const RowSourceNames* sources = nullptr);

// The name with ".csv" appended unless its extension already is ".csv" in any case.
std::string WithCsvExtension(std::string path);

// What a failed write reports: what() is the reason alone.
class SaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces the file's content with bytes, or creates it. The bytes go to a temporary file
// beside it that is renamed over it, so a failure leaves the old file whole and nothing
// half-written. Throws SaveError.
void WriteFileReplacing(const std::string& path, std::string_view bytes);
// The same with the bytes that produce gives its sink; what produce throws abandons the write too.
void WriteFileReplacingWith(const std::string& path, const std::function<void(const ByteSink&)>& produce);

// The text of the warning that a failed save shows.
std::string SaveFailedMessage(std::string_view path, std::string_view reason);

// The one save: the rows (every row when rows is null) as CSV over the file at path (".csv"
// added as the dialog adds it), remembered for the next dialog. Saving every row marks the work
// saved. The warning's text when the write failed, nothing when it went through.
std::optional<std::string> SaveRowsTo(Workspace& ws, std::string_view path,
                                      const std::vector<int>* rows = nullptr);

// The save dialog, opened where the last chosen file is: the chosen path, nothing on Cancel.
std::optional<std::string> AskSaveTarget(Workspace& ws);
// The save dialog, then SaveRowsTo the chosen file; a
// failed write shows the warning. True when the file was written.
bool SaveThroughDialog(Workspace& ws, const std::vector<int>* rows = nullptr);

void SaveResults(Workspace& ws);
// "Save Shown…": like Save Results, but only the rows that the filter shows.
void SaveShown(Workspace& ws);
} // namespace vorlith
