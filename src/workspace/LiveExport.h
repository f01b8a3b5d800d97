#pragma once
// Save Results, Save Shown and Copy Rows as the window runs them: on a large table the rows are
// read on a worker (TableWork) while the table is held and the window stays live. Esc cancels:
// the file keeps its old content (the temporary is removed) and the clipboard is not touched.
// Small tables, and tables a run may write to meanwhile, are handled at once as before.

#include "workspace/LiveTableCommands.h"

#include <QString>
#include <optional>
#include <qcoro/qcorotask.h>
#include <vector>

namespace vorlith {

class Workspace;

inline constexpr std::string_view SaveCancelledText = "Save cancelled.";
inline constexpr std::string_view CopyRowsCancelledText = "Copy Rows cancelled.";

// The same dialog, bytes, messages and saved-work mark as SaveResults and SaveShown.
QCoro::Task<void> SaveResultsLive(Workspace& ws, int liveWorkRows = LiveWorkRows);
QCoro::Task<void> SaveShownLive(Workspace& ws, int liveWorkRows = LiveWorkRows);

// RowsText of the rows, as the clipboard takes it; nothing when refused or cancelled.
QCoro::Task<std::optional<QString>> RowsTextLive(Workspace& ws, std::vector<int> rows,
                                                 int liveWorkRows = LiveWorkRows);

} // namespace vorlith
