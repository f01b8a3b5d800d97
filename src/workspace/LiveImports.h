#pragma once
// Add Keywords' list file and Open Results as the window runs them: a large file is read, checked
// and parsed on a worker (TableWork) while the window stays live, into rows made ready away from
// the table; they go in at the end in one append, one undo step. Esc before then leaves the table
// and the history as they were. Small files are read at once, as before.

#include "workspace/WorkspaceUi.h"

#include <cstddef>
#include <optional>
#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

// Below this many bytes a file is read and parsed in well under a frame.
constexpr std::size_t LiveImportBytes = std::size_t{1} << 20;

// AddKeywords(ws, answer), with the list file's reading (and the check against the table's
// keywords) on a worker when the file or that check is large.
QCoro::Task<std::optional<std::string_view>> AddKeywordsLive(Workspace& ws, const AddKeywordsAnswer& answer,
                                                             std::size_t liveBytes = LiveImportBytes);
// "Add Keywords" in the window: asks, then the above; what escapes is reported.
QCoro::Task<void> AddKeywordsLive(Workspace& ws);

// OpenResultsFrom, with the file read and parsed on a worker when it is large.
QCoro::Task<std::optional<std::string>> OpenResultsFromLive(Workspace& ws, const std::string& path,
                                                            std::size_t liveBytes = LiveImportBytes);
// Ctrl+Shift+O in the window: asks, then the above; a failure is shown as a warning.
QCoro::Task<void> OpenResultsLive(Workspace& ws);

} // namespace vorlith
