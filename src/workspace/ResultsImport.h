#pragma once
// "Open Results": appends the rows of a results file to the table. Reads back what Save Results
// wrote, byte for byte, and CSV or TSV from other tools whose header names a keyword column.

#include "workspace/KeywordTable.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view OpenResultsTitle = "Open Results";
inline constexpr std::string_view OpenResultsFilter = "CSV or TSV files (*.csv *.tsv *.txt);;All files (*)";
// Bounds that keep a wrong or hostile file from taking the memory: the file, and its rows.
inline constexpr std::size_t OpenResultsMaxBytes = std::size_t{256} << 20;
inline constexpr std::size_t OpenResultsMaxRows = 5'000'000;

// A file that cannot be opened; what() is the whole message, naming the line where one applies.
class ResultsFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks the whole text first, then hands its rows to row in order and returns how many; throws
// ResultsFileError before the first row when any line is wrong.
std::size_t ReadResultsRows(std::string_view text, const std::function<void(Cells&&)>& row);
// Checks the whole text first, then appends its rows (numbered on from the table's rows) and
// returns how many; throws ResultsFileError and changes nothing when any line is wrong.
std::size_t AppendResultsText(KeywordTable& table, std::string_view text);
// The file's bytes, refusing what is not a regular file or is larger than the bound.
std::string ReadResultsFile(const std::string& path);

// Opens the file into the table as one undo step; the message shown when it failed.
std::optional<std::string> OpenResultsFrom(Workspace& ws, const std::string& path);
// Runs open (which reads the file and appends its rows as one undo step), then shows the item
// count; when open throws ResultsFileError or runs out of memory, the message shown instead.
std::optional<std::string> OpenResultsReported(Workspace& ws, const std::string& path,
                                               const std::function<void()>& open);
// The Open Results dialog, in the folder of the last saved file (at first the program's).
std::optional<std::string> AskResultsFile(Workspace& ws);
// Ctrl+Shift+O: asks for the file, then OpenResultsFrom; a failure is shown as a warning.
void OpenResults(Workspace& ws);

} // namespace vorlith
