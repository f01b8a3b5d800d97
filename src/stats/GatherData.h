#pragma once
// "Gather Data": the result counts of every keyword from the three search engines, and the Stop
// that ends such a run from inside its wait; "Retry Failed" asks again for the failed cells only.

#include "workspace/Workspace.h"

#include <string>
#include <string_view>

namespace vorlith {

inline constexpr std::string_view StopCaption = "Stop";
inline constexpr std::string_view NoKeywordsText =
    "You need add keywords to gather data from search engines.";
inline constexpr std::string_view NothingToRetryText = "There are no failed lookups to retry.";

// The click on btnGatherData: starts a run, or stops the one under way. The run goes on in the
// event loop after the click returns; ws.Runs tells when it has ended.
void GatherDataOrStop(Workspace& ws);

// Retry Failed: a run, in the last run's search mode, over the cells whose lookup failed; a
// click while a run is under way stops it, as the Gather Data button does.
void RetryFailed(Workspace& ws);

// The run panel: "Row k of N" and, once a row is done, the time left.
std::string RunProgressText(int row, int rows, double secondsLeft);
// The run panel when a run has ended.
std::string RunOutcomeText(const Workspace::RunCounts& counts, bool stopped);
// The line a terminal run ends with: "Gather Data: A asked, S succeeded, F failed".
std::string GatherSummaryLine(const Workspace::RunCounts& counts);

} // namespace vorlith
