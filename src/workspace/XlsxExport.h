#pragma once
// "Export XLSX…": the whole table as a workbook, counts as numbers and keywords as text, so that
// no cell can become a formula. Written row by row in libxlsxwriter's constant-memory mode, on a
// worker thread (TableWork), into a temporary file renamed over the target at the end.

#include "workspace/TableWork.h"

#include <optional>
#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>

namespace vorlith {

class RowBlock;
class Workspace;

inline constexpr std::string_view ExportXlsxTitle = "Export XLSX";
inline constexpr std::string_view ExportXlsxFilter = "Excel workbooks (*.xlsx)";
// A worksheet's rows, the header included.
inline constexpr std::size_t XlsxMaxRows = 1'048'576;

// An optional leading '-', then decimal digits with optional ',' group separators; at most 15
// digits, which a double holds exactly.
bool IsXlsxNumber(std::string_view value);
// The name with ".xlsx" appended unless it already ends so, in any case.
std::string WithXlsxExtension(std::string path);

// Writes the rows with the column captions as a bold, frozen header. False when cancelled (the
// target is then left as it was); throws SaveError with the reason when the write failed.
bool WriteXlsx(const RowBlock& rows, const std::string& path, TableWork::Control& control);

// Exports the table to path on the worker, showing progress in the main panel. The message
// to show when it failed; nothing when it was written or cancelled.
QCoro::Task<std::optional<std::string>> ExportXlsxTo(Workspace& ws, std::string path);
// Asks for the file, then ExportXlsxTo; a failure is shown as a warning.
QCoro::Task<void> ExportXlsx(Workspace& ws);

} // namespace vorlith
