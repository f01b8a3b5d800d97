#pragma once
// The header click's sort and Remove Duplicates as the window runs them: on a large table the
// half that only reads the rows runs on a worker (TableWork) while the window stays live, and the
// table changes only once that half has ended. Esc before then leaves the table as it was.

#include "workspace/TableWork.h"

#include <functional>
#include <cstddef>
#include <qcoro/qcorotask.h>
#include <string>

namespace vorlith {

class KeywordTable;
class Workspace;

// Below this many rows the work takes less than a frame or two and is done at once.
constexpr int LiveWorkRows = 50'000;

QCoro::Task<void> SortByColumnLive(Workspace& ws, int column, int liveWorkRows = LiveWorkRows);
QCoro::Task<void> RemoveDuplicatesLive(Workspace& ws, int liveWorkRows = LiveWorkRows);

// Runs job on a worker, the table held meanwhile when holdTable (any change throws), showing
// text in the main panel once it has taken 300 ms and the usual text again after; true when it ran
// to its end. A job that looks at control.Cancelled and throws WorkStopped ends as cancelled.
QCoro::Task<bool> RunOnWorker(Workspace& ws, const std::function<void(TableWork::Control&)>& job,
                              const std::string& text, bool holdTable);
// RunOnWorker with the table held and handed to read.
QCoro::Task<bool> ReadOnWorker(Workspace& ws,
                               std::function<void(const KeywordTable&, TableWork::Control&)> read,
                               std::string text);
QCoro::Task<bool> ReadOnWorker(Workspace& ws, std::function<void(const KeywordTable&)> read,
                               std::string text);

// Small tables, and tables a run may append to meanwhile, are handled at once as before.
bool AtOnce(const Workspace& ws, std::size_t rows, int liveWorkRows = LiveWorkRows);

// Long table work is under way: the status bar says so and the caller does nothing.
bool RefusedWhileBusy(Workspace& ws);

} // namespace vorlith
